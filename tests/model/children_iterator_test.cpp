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

TEST_F(ChildrenIteratorTest, AChildAppendedAheadOfThePositionIsVisited) {
  auto& a = root_->MakeChild<TTestLeaf>("a");
  auto& b = root_->MakeChild<TTestLeaf>("b");
  auto children = root_->GetChildren();
  EXPECT_EQ(&children->Next(), &a);
  auto& c = root_->MakeChild<TTestLeaf>("c");
  EXPECT_EQ(&children->Next(), &b);
  EXPECT_EQ(&children->Next(), &c);
  EXPECT_TRUE(children->Done());
}

TEST_F(ChildrenIteratorTest, AChildAppendedAfterTheEndIsNotVisited) {
  root_->MakeChild<TTestLeaf>("a");
  auto& b = root_->MakeChild<TTestLeaf>("b");
  auto children = root_->GetChildren();
  children->Next();
  children->Next();
  root_->MakeChild<TTestLeaf>("c");
  EXPECT_TRUE(children->Done());
  EXPECT_EQ(&children->Current(), &b);
}

TEST_F(ChildrenIteratorTest, RemovalsBehindAndAheadKeepThePlace) {
  auto& a = root_->MakeChild<TTestLeaf>("a");
  auto& b = root_->MakeChild<TTestLeaf>("b");
  auto& c = root_->MakeChild<TTestLeaf>("c");
  auto& d = root_->MakeChild<TTestLeaf>("d");
  auto children = root_->GetChildren();
  EXPECT_EQ(&children->Next(), &a);
  root_->RemoveChild(a);  // behind: the next one is still b
  EXPECT_EQ(&children->Next(), &b);
  EXPECT_EQ(&children->Current(), &b);
  root_->RemoveChild(c);  // ahead: skipped
  EXPECT_EQ(&children->Next(), &d);
  EXPECT_TRUE(children->Done());
}

TEST_F(ChildrenIteratorTest, CurrentNeedsAChildReturnedBefore) {
  root_->MakeChild<TTestLeaf>("a");
  auto children = root_->GetChildren();
  try {
    children->Current();
    FAIL();
  } catch (const EChildUnavailable& error) {
    EXPECT_STREQ(error.what(), "No Child Is Available");
  }
  children->Next();
  EXPECT_THROW(children->Next(), EChildUnavailable);
}

TEST_F(ChildrenIteratorTest, AnIteratorOfADetachedBranchIsDone) {
  auto& folder = root_->MakeChild<TTestBranch>("dir");
  folder.MakeChild<TTestLeaf>("x");
  auto before = folder.GetChildren();
  {
    TNodeHold hold(folder);  // keeps the folder alive after it leaves
    root_->RemoveChild(folder);
    EXPECT_TRUE(folder.IsDetached());
    EXPECT_TRUE(before->Done());
    EXPECT_THROW(before->Next(), EChildUnavailable);
    EXPECT_TRUE(folder.GetChildren()->Done());
  }
  // The folder is gone now; its old iterator must not reach for it.
  EXPECT_TRUE(before->Done());
  before.reset();
}

TEST_F(ChildrenIteratorTest, TheLastChildReturnedStaysUsableAfterItLeaves) {
  std::atomic<bool> destroyed{false};
  auto& a = root_->MakeChild<TTestLeaf>("a");
  a.destroyed = &destroyed;
  auto children = root_->GetChildren();
  TNode& returned = children->Next();
  root_->RemoveChild(a);  // as another thread pruning it would
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(&children->Current(), &a);
  EXPECT_EQ(returned.Name(), "a");
  EXPECT_TRUE(children->Done());
  children.reset();
  EXPECT_TRUE(destroyed);
}

TEST_F(ChildrenIteratorTest, ALeafHasNoChildren) {
  auto& leaf = root_->MakeChild<TTestLeaf>("a");
  auto children = leaf.GetChildren();
  EXPECT_TRUE(children->Done());
  EXPECT_THROW(children->Next(), EChildUnavailable);
  EXPECT_THROW(children->Current(), EChildUnavailable);
}

TEST_F(ChildrenIteratorTest, SeveralIteratorsAreAdjustedIndependently) {
  auto& a = root_->MakeChild<TTestLeaf>("a");
  auto& b = root_->MakeChild<TTestLeaf>("b");
  auto first = root_->GetChildren();
  auto second = root_->GetChildren();
  auto third = root_->GetChildren();
  first->Next();
  first->Next();
  second->Next();
  root_->RemoveChild(a);
  EXPECT_TRUE(first->Done());
  EXPECT_EQ(&second->Next(), &b);
  first.reset();  // unregisters; later changes must not touch it
  auto& c = root_->MakeChild<TTestLeaf>("c");
  EXPECT_TRUE(second->Done());  // it had reached the end before c came
  EXPECT_EQ(&third->Next(), &b);
  EXPECT_EQ(&third->Next(), &c);
}

}  // namespace
}  // namespace ravelo
