#include "model/children_iterator.h"

#include <gtest/gtest.h>

#include <atomic>

#include "model/node.h"
#include "model/tree_errors.h"
#include "support/test_main_loop.h"
#include "support/tree_doubles.h"

namespace ravelo {
namespace {

using test::TTestBranch;
using test::TTestLeaf;

class ChildrenIteratorTest : public ::testing::Test {
 protected:
  ~ChildrenIteratorTest() override { TNode::ReleaseRoot(std::move(root_)); }

  test::TTestMainLoop loop_;
  std::unique_ptr<TTestBranch> root_ = std::make_unique<TTestBranch>(nullptr, "");
};

TEST_F(ChildrenIteratorTest, EachIteratorFollowsAppendsAndRemovalsOnItsOwn) {
  auto& a = root_->MakeChild<TTestLeaf>("a");
  auto& b = root_->MakeChild<TTestLeaf>("b");
  auto at_end = root_->GetChildren();
  auto midway = root_->GetChildren();
  auto fresh = root_->GetChildren();
  at_end->Next();
  at_end->Next();
  midway->Next();
  root_->RemoveChild(a);  // behind both: the next one is unchanged
  EXPECT_TRUE(at_end->Done());
  EXPECT_EQ(&midway->Next(), &b);
  at_end.reset();  // unregisters; later changes must not touch it
  auto& c = root_->MakeChild<TTestLeaf>("c");
  // An iterator that had reached the end stays there; one with children
  // ahead visits the new one.
  EXPECT_TRUE(midway->Done());
  EXPECT_EQ(&midway->Current(), &b);
  EXPECT_EQ(&fresh->Next(), &b);
  auto& d = root_->MakeChild<TTestLeaf>("d");
  root_->RemoveChild(c);  // ahead: skipped
  EXPECT_EQ(&fresh->Next(), &d);
  EXPECT_TRUE(fresh->Done());
}

TEST_F(ChildrenIteratorTest, ThereIsNoChildOutsideTheListNorInADetachedBranch) {
  auto& folder = root_->MakeChild<TTestBranch>("dir");
  auto& leaf = folder.MakeChild<TTestLeaf>("x");
  for (const auto& children : {root_->GetChildren(), leaf.GetChildren()}) {
    EXPECT_THROW(children->Current(), EChildUnavailable);
    while (!children->Done()) children->Next();
    EXPECT_THROW(children->Next(), EChildUnavailable);
  }
  auto before = folder.GetChildren();
  {
    TNodeHold hold(folder);  // keeps the folder alive after it leaves
    root_->RemoveChild(folder);
    EXPECT_TRUE(before->Done());
    EXPECT_THROW(before->Next(), EChildUnavailable);
    EXPECT_TRUE(folder.GetChildren()->Done());
  }
  // The folder is gone now; its old iterator must not reach for it.
  EXPECT_TRUE(before->Done());
}

TEST_F(ChildrenIteratorTest, TheLastChildReturnedStaysUsableAfterItLeaves) {
  std::atomic<bool> destroyed{false};
  auto& a = root_->MakeChild<TTestLeaf>("a");
  a.destroyed = &destroyed;
  auto children = root_->GetChildren();
  children->Next();
  root_->RemoveChild(a);  // as another thread pruning it would
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(children->Current().Name(), "a");
  EXPECT_TRUE(children->Done());
  children.reset();
  EXPECT_TRUE(destroyed);
}

}  // namespace
}  // namespace ravelo
