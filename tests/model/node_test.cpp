// The node tree: names, structure errors, known sides and pruning, the walks,
// observers, and removals reported in the main thread.

#include "model/node.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "model/tree_errors.h"
#include "support/test_main_loop.h"
#include "support/tree_doubles.h"

namespace ravelo {
namespace {

using test::TTestBranch;
using test::TTestLeaf;
using ::testing::ElementsAre;

class NodeTest : public ::testing::Test {
 protected:
  NodeTest() {
    root_->SetDisplay(display_);
    root_->SetPresenceWatcher(watcher_);
  }
  ~NodeTest() override {
    EXPECT_TRUE(test::WaitForWaiters(loop_));
    TNode::ReleaseRoot(std::move(root_));
  }
  std::vector<std::string> Displayed() const { return display_->log.Events(); }
  std::vector<std::string> Watched() const { return watcher_->log.Events(); }

  test::TTestMainLoop loop_;
  std::shared_ptr<test::TRecordingDisplay> display_ = std::make_shared<test::TRecordingDisplay>();
  std::shared_ptr<test::TRecordingWatcher> watcher_ = std::make_shared<test::TRecordingWatcher>();
  std::unique_ptr<TTestBranch> root_ = std::make_unique<TTestBranch>(nullptr, "ignored");
};

// A side read and found present or absent. Marking the second side absent
// may free the node.
template <class Node>
void KnowLocal(Node& node, bool present) {
  node.local = present;
  node.MarkLocalKnown();
}
template <class Node>
void KnowRemote(Node& node, bool present) {
  node.remote = present;
  node.MarkRemoteKnown();
}

TEST_F(NodeTest, PathsAncestryAndNamesThatFoldOnlyTheAsciiLetters) {
  auto& a = root_->MakeChild<TTestBranch>("a");
  auto& b = a.MakeChild<TTestBranch>("b");
  auto& c = b.MakeChild<TTestLeaf>("c.txt");
  auto& x = root_->MakeChild<TTestLeaf>("x");
  EXPECT_EQ(root_->GetPath(), "");  // its name is ignored
  EXPECT_EQ(c.GetPath(), "a\\b\\c.txt");
  EXPECT_EQ(&root_->ChildTowards(c), &a);
  EXPECT_EQ(&b.ChildTowards(c), &c);
  EXPECT_TRUE(c.IsDescendantOf(*root_));
  EXPECT_FALSE(c.IsDescendantOf(c));
  EXPECT_FALSE(x.IsDescendantOf(a));
  try {
    a.ChildTowards(x);
    FAIL();
  } catch (const ENoPath& error) {
    // The walk from x stops at the root, whose name is empty.
    EXPECT_STREQ(error.what(), "No Path Between Parent 'a' And Child ''");
  }

  EXPECT_EQ(root_->FindChild("A"), &a);
  EXPECT_EQ(root_->FindChild("X."), nullptr);
  // É (C3 89) and é (C3 A9) are different names.
  auto& upper = root_->MakeChild<TTestLeaf>("\xC3\x89t\xC3\xA9");
  auto& lower = root_->MakeChild<TTestLeaf>("\xC3\xA9t\xC3\xA9");
  EXPECT_EQ(root_->FindChild("\xC3\x89T\xC3\xA9"), &upper);
  EXPECT_EQ(root_->FindChild("\xC3\xA9T\xC3\xA9"), &lower);
  // '@' and '[' sit next to 'A' and 'Z' and must not fold to '`' and '{'.
  root_->MakeChild<TTestLeaf>("@[");
  EXPECT_EQ(root_->FindChild("`{"), nullptr);
}

// Holds taken through the tree, under its lock, keep their nodes alive
// after another thread takes them out; a node whose folder has left has no
// path in the tree any more.
TEST_F(NodeTest, HoldsTakenThroughTheTreeOutliveARemoval) {
  std::atomic<bool> dir_destroyed{false};
  std::atomic<bool> file_destroyed{false};
  auto& dir = root_->MakeChild<TTestBranch>("dir");
  dir.destroyed = &dir_destroyed;
  THold<TTestLeaf> file = dir.MakeHeldChild<TTestLeaf>("f");
  file->destroyed = &file_destroyed;
  EXPECT_EQ(file->TreePath(), "dir\\f");
  TNodeHold parent = file->ParentHold();
  TNodeHold found = root_->HoldChild("DIR");
  EXPECT_EQ(parent.Get(), &dir);
  EXPECT_EQ(found.As<TTestBranch>(), &dir);
  EXPECT_FALSE(root_->HoldChild("none"));
  EXPECT_FALSE(root_->ParentHold());
  EXPECT_FALSE(THold<TTestLeaf>(root_->HoldChild("dir")));  // not a leaf

  root_->RemoveChild(dir);
  EXPECT_FALSE(dir_destroyed);
  EXPECT_EQ(file->TreePath(), std::nullopt);
  EXPECT_TRUE(root_->IsInTree());
  parent = std::move(found);
  parent.Reset();
  EXPECT_TRUE(dir_destroyed);
  EXPECT_FALSE(file_destroyed);
  EXPECT_EQ(file->Parent(), nullptr);
  file = {};
  EXPECT_TRUE(file_destroyed);
}

TEST_F(NodeTest, RefusedStructureChangesLeaveNoTrace) {
  auto& file = root_->MakeChild<TTestLeaf>("file");
  root_->MakeChild<TTestLeaf>("other");
  EXPECT_THROW(root_->MakeChild<TTestBranch>("FILE"), EDuplicateNode);
  EXPECT_THROW(root_->MakeChild<TTestBranch>(""), EUnnamedNode);
  try {
    TTestLeaf orphan(nullptr, "lonely.txt");
    FAIL();
  } catch (const EParentless& error) {
    EXPECT_STREQ(error.what(), "Can't Create Leaf 'lonely.txt' Without A Parent");
  }
  root_->RenameChild(file, "file");  // nothing to do
  EXPECT_THROW(root_->RenameChild(file, "FILE"), EDuplicateNode);
  EXPECT_THROW(root_->RenameChild(file, "Other"), EDuplicateNode);
  auto& a = root_->MakeChild<TTestBranch>("a");
  auto& b = a.MakeChild<TTestLeaf>("b");
  EXPECT_THROW(root_->RemoveChild(b), ENotMyChild);
  EXPECT_THROW(root_->RenameChild(b, "c"), ENotMyChild);
  EXPECT_EQ(a.ChildCount(), 1);

  root_->RenameChild(file, "renamed");
  EXPECT_EQ(root_->FindChild("RENAMED"), &file);
  root_->MakeChild<TTestLeaf>("file");  // the old name is free again
  EXPECT_EQ(root_->ChildCount(), 4);
  // Refused nodes were never in the tree, and a rename is not reported here.
  EXPECT_EQ(display_->log.Size(), 0);
  EXPECT_EQ(watcher_->log.Size(), 0);
}

TEST_F(NodeTest, GetStateReadsTheLocalSideAndOnlyANodeAbsentOnBothLeaves) {
  auto& file = root_->MakeChild<TTestLeaf>("f");
  file.on_disk = true;
  file.state = nsFresh;
  EXPECT_EQ(file.GetState(), nsUnknown);  // remote side not read yet
  EXPECT_EQ(file.LocalPresence(), prPresent);
  KnowRemote(file, true);
  EXPECT_EQ(file.GetState(), nsFresh);

  std::atomic<bool> destroyed{false};
  auto& gone = root_->MakeChild<TTestLeaf>("gone");
  gone.destroyed = &destroyed;
  gone.state = nsNotCached;
  KnowRemote(gone, false);
  EXPECT_FALSE(destroyed);  // the local side is still unknown
  // GetState finds nothing locally: the node leaves the tree during the
  // call, and is freed only once the call is done with it.
  EXPECT_EQ(gone.GetState(), nsNotCached);
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(root_->FindChild("gone"), nullptr);
  EXPECT_THAT(Displayed(), ElementsAre("removed gone"));
  EXPECT_THAT(Watched(), ElementsAre("watch f", "watch gone", "unwatch gone"));
  // The root has no parent and never leaves.
  KnowLocal(*root_, false);
  KnowRemote(*root_, false);
  EXPECT_FALSE(root_->IsDetached());
}

TEST_F(NodeTest, TheWalksVisitEveryChildWhilePruning) {
  auto& folder = root_->MakeChild<TTestBranch>("dir");
  folder.local = true;
  KnowRemote(folder, true);
  std::vector<TTestLeaf*> files;
  for (const std::string name : {"f0", "f1", "f2", "f3", "f4"}) {
    files.push_back(&folder.MakeChild<TTestLeaf>(name));
    files.back()->local = true;
    KnowRemote(*files.back(), name == "f1" || name == "f3");
  }
  folder.ClearLocalTree();
  // f0, f2 and f4 were local only: gone. f1 and f3 stay, known absent here.
  ASSERT_EQ(folder.ChildCount(), 2);
  EXPECT_EQ(files[3]->LocalPresence(), prAbsent);
  EXPECT_EQ(folder.LocalPresence(), prAbsent);
  EXPECT_THAT(Displayed(), ElementsAre("removed f0", "removed f2", "removed f4"));
  files[1]->local = true;
  folder.ClearLocalTree();  // already absent: the walk stops at the folder
  EXPECT_TRUE(files[1]->local);
  files[1]->local = false;

  // Forgetting makes every remote side unknown, without pruning; clearing
  // removes a local-only subtree bottom up.
  root_->ForgetRemoteTree();
  EXPECT_EQ(files[1]->RemotePresence(), prUnknown);
  EXPECT_FALSE(files[1]->remote);
  display_->log.Clear();
  folder.ClearRemoteTree();
  EXPECT_EQ(root_->ChildCount(), 0);
  EXPECT_THAT(Displayed(), ElementsAre("removed f1", "removed f3", "removed dir"));
}

class TUnavailable : public std::runtime_error, public IServerUnavailableError {
 public:
  TUnavailable() : std::runtime_error("Server Is Not Available") {}
};

TEST_F(NodeTest, RefreshRemoteTakesOnlyAnUnavailableServerForAMissingRemoteSide) {
  auto& folder = root_->MakeChild<TTestBranch>("dir");
  auto& file = folder.MakeChild<TTestLeaf>("f");
  KnowLocal(file, true);
  file.remote = true;
  folder.read_remote = [](IServer&) { throw TUnavailable(); };
  test::TTestServer server;
  folder.RefreshRemote(server);
  EXPECT_EQ(folder.RemotePresence(), prAbsent);
  EXPECT_EQ(file.RemotePresence(), prAbsent);

  // Any other error passes, and the remote side stays unknown.
  auto& other = root_->MakeChild<TTestLeaf>("other");
  other.read_remote = [](IServer&) { throw std::runtime_error("550 broken"); };
  EXPECT_THROW(other.RefreshRemote(server), std::runtime_error);
  EXPECT_EQ(other.RemotePresence(), prUnknown);
}

TEST_F(NodeTest, RemovalInAWorkerThreadReportsInTheMainThread) {
  auto& folder = root_->MakeChild<TTestBranch>("dir");
  folder.MakeChild<TTestLeaf>("x");
  folder.MakeChild<TTestLeaf>("y");
  std::atomic<bool> done{false};
  std::thread worker([&] {
    root_->RemoveChild(folder);
    done = true;
  });
  EXPECT_TRUE(loop_.RunUntil([&] { return done.load(); }));
  worker.join();
  // Freeing the folder releases its children in order, each reported while
  // it still has its parent.
  EXPECT_THAT(Displayed(), ElementsAre("removed dir", "removed x", "removed y"));
  EXPECT_THAT(Watched(), ElementsAre("unwatch dir", "unwatch x", "unwatch y"));

  // Children take their parent's observers when made; a nil display stands
  // in for none. Releasing the root reports its children only.
  root_->MakeChild<TTestLeaf>("a");
  root_->SetDisplay(nullptr);
  root_->MakeChild<TTestLeaf>("b").SetPresenceWatcher(nullptr);
  display_->log.Clear();
  watcher_->log.Clear();
  TNode::ReleaseRoot(std::move(root_));
  EXPECT_THAT(Displayed(), ElementsAre("removed a"));
  EXPECT_THAT(Watched(), ElementsAre("unwatch ", "unwatch a"));
}

}  // namespace
}  // namespace ravelo
