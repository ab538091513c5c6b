#include "model/node.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "model/children_iterator.h"
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

  test::TTestMainLoop loop_;
  std::shared_ptr<test::TRecordingDisplay> display_ = std::make_shared<test::TRecordingDisplay>();
  std::shared_ptr<test::TRecordingWatcher> watcher_ = std::make_shared<test::TRecordingWatcher>();
  std::unique_ptr<TTestBranch> root_ = std::make_unique<TTestBranch>(nullptr, "ignored");
};

// A side that has been read and found absent.
void KnownAbsent(TTestLeaf& leaf, bool local_side) {
  if (local_side) {
    leaf.local = false;
    leaf.MarkLocalKnown();
  } else {
    leaf.remote = false;
    leaf.MarkRemoteKnown();
  }
}

TEST_F(NodeTest, PathsJoinNamesBelowTheRoot) {
  auto& a = root_->MakeChild<TTestBranch>("a");
  auto& b = a.MakeChild<TTestBranch>("b");
  auto& c = b.MakeChild<TTestLeaf>("c.txt");
  EXPECT_EQ(root_->Name(), "");
  EXPECT_EQ(root_->GetPath(), "");
  EXPECT_EQ(a.GetPath(), "a");
  EXPECT_EQ(b.GetPath(), "a\\b");
  EXPECT_EQ(c.GetPath(), "a\\b\\c.txt");
  EXPECT_EQ(c.Parent(), &b);
}

TEST_F(NodeTest, NamesFoldOnlyTheAsciiLetters) {
  auto& readme = root_->MakeChild<TTestLeaf>("Readme.TXT");
  EXPECT_EQ(root_->FindChild("README.txt"), &readme);
  EXPECT_EQ(root_->FindChild("Readme.TX"), nullptr);
  // É (C3 89) and é (C3 A9) are different names.
  auto& upper = root_->MakeChild<TTestLeaf>("\xC3\x89t\xC3\xA9");
  auto& lower = root_->MakeChild<TTestLeaf>("\xC3\xA9t\xC3\xA9");
  EXPECT_EQ(root_->FindChild("\xC3\x89T\xC3\xA9"), &upper);
  EXPECT_EQ(root_->FindChild("\xC3\xA9T\xC3\xA9"), &lower);
  EXPECT_EQ(root_->FindChild("\xC3\xA9T\xC3\x89"), nullptr);
  // '@' and '[' sit next to 'A' and 'Z' and must not fold to '`' and '{'.
  root_->MakeChild<TTestLeaf>("@[");
  EXPECT_EQ(root_->FindChild("`{"), nullptr);
  EXPECT_EQ(root_->ChildCount(), 4);
}

TEST_F(NodeTest, AChildNamedLikeASiblingIsRefusedWithoutATrace) {
  root_->MakeChild<TTestLeaf>("Data");
  try {
    root_->MakeChild<TTestBranch>("dATA");
    FAIL() << "a duplicate child was added";
  } catch (const EDuplicateNode& error) {
    EXPECT_STREQ(error.what(), "Node Already Exists");
  }
  EXPECT_EQ(root_->ChildCount(), 1);
  // The refused node was never in the tree: nobody hears of it leaving.
  EXPECT_EQ(display_->log.Size(), 0);
  EXPECT_EQ(watcher_->log.Size(), 0);
}

TEST_F(NodeTest, ConstructorsRefuseUnnamedAndParentlessNodes) {
  try {
    root_->MakeChild<TTestBranch>("");
    FAIL();
  } catch (const EUnnamedNode& error) {
    EXPECT_STREQ(error.what(), "Can't Create An Unnamed SynNode");
  }
  try {
    TTestLeaf orphan(nullptr, "lonely.txt");
    FAIL();
  } catch (const EParentless& error) {
    EXPECT_STREQ(error.what(), "Can't Create Leaf 'lonely.txt' Without A Parent");
  }
  EXPECT_EQ(root_->ChildCount(), 0);
}

TEST_F(NodeTest, RenameChildRefusesCaseVariantsAndIgnoresTheSameName) {
  auto& file = root_->MakeChild<TTestLeaf>("file");
  root_->MakeChild<TTestLeaf>("other");
  root_->RenameChild(file, "file");  // nothing to do
  EXPECT_THROW(root_->RenameChild(file, "FILE"), EDuplicateNode);
  EXPECT_THROW(root_->RenameChild(file, "Other"), EDuplicateNode);
  root_->RenameChild(file, "renamed");
  EXPECT_EQ(file.Name(), "renamed");
  EXPECT_EQ(root_->FindChild("RENAMED"), &file);
  EXPECT_EQ(root_->FindChild("file"), nullptr);
  root_->MakeChild<TTestLeaf>("file");  // the old name is free again
  EXPECT_EQ(display_->log.Size(), 0);   // a rename is not reported here
}

TEST_F(NodeTest, StructureOperationsRefuseAnotherBranchesChild) {
  auto& a = root_->MakeChild<TTestBranch>("a");
  auto& b = a.MakeChild<TTestLeaf>("b");
  try {
    root_->RemoveChild(b);
    FAIL();
  } catch (const ENotMyChild& error) {
    EXPECT_STREQ(error.what(), "Not A Child Of This Node");
  }
  EXPECT_THROW(root_->RenameChild(b, "c"), ENotMyChild);
  EXPECT_EQ(a.ChildCount(), 1);
  EXPECT_EQ(root_->IndexOfChild(b), -1);
  EXPECT_EQ(a.IndexOfChild(b), 0);
  EXPECT_EQ(b.IndexOfChild(a), -1);
}

TEST_F(NodeTest, ChildTowardsAndDescendants) {
  auto& a = root_->MakeChild<TTestBranch>("a");
  auto& b = a.MakeChild<TTestBranch>("b");
  auto& c = b.MakeChild<TTestLeaf>("c");
  auto& x = root_->MakeChild<TTestLeaf>("x");
  EXPECT_EQ(&root_->ChildTowards(c), &a);
  EXPECT_EQ(&a.ChildTowards(c), &b);
  EXPECT_EQ(&b.ChildTowards(c), &c);
  EXPECT_TRUE(c.IsDescendantOf(*root_));
  EXPECT_TRUE(c.IsDescendantOf(a));
  EXPECT_FALSE(c.IsDescendantOf(c));
  EXPECT_FALSE(x.IsDescendantOf(a));
  EXPECT_FALSE(root_->IsDescendantOf(a));
  try {
    a.ChildTowards(x);
    FAIL();
  } catch (const ENoPath& error) {
    // The walk from x stops at the root, whose name is empty.
    EXPECT_STREQ(error.what(), "No Path Between Parent 'a' And Child ''");
  }
}

TEST_F(NodeTest, StateTextsAreTheDisplayedOnes) {
  EXPECT_EQ(StateText(nsUnknown), "Unknown");
  EXPECT_EQ(StateText(nsInProcess), "In Process");
  EXPECT_EQ(StateText(nsNotCached), "Not Cached");
  EXPECT_EQ(StateText(nsSynchronized), "Synchronized");
  EXPECT_EQ(StateText(nsFresh), "Fresh");
  EXPECT_EQ(StateText(nsExpired), "Expired");
  EXPECT_EQ(StateText(nsAmbiguous), "Ambigous");
}

TEST_F(NodeTest, GetStateReadsTheLocalSideAndWaitsForTheRemoteOne) {
  auto& file = root_->MakeChild<TTestLeaf>("f");
  file.on_disk = true;
  file.state = nsFresh;
  EXPECT_EQ(file.LocalPresence(), prUnknown);
  EXPECT_EQ(file.GetState(), nsUnknown);  // remote side not read yet
  EXPECT_EQ(file.LocalPresence(), prPresent);
  EXPECT_EQ(watcher_->log.Count("watch f"), 1);
  file.remote = true;
  file.MarkRemoteKnown();
  EXPECT_EQ(file.RemotePresence(), prPresent);
  EXPECT_EQ(file.GetState(), nsFresh);
}

TEST_F(NodeTest, GetStateSurvivesPruningTheNodeItAsks) {
  std::atomic<bool> destroyed{false};
  auto& file = root_->MakeChild<TTestLeaf>("gone");
  file.destroyed = &destroyed;
  KnownAbsent(file, false);
  file.on_disk = false;
  file.state = nsNotCached;
  // Reading the local side finds nothing: the node leaves the tree during
  // the call, and is freed only once the call is done with it.
  EXPECT_EQ(file.GetState(), nsNotCached);
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(root_->ChildCount(), 0);
  EXPECT_THAT(display_->log.Events(), ElementsAre("removed gone"));
  EXPECT_THAT(watcher_->log.Events(), ElementsAre("watch gone", "unwatch gone"));
}

TEST_F(NodeTest, ANodeAbsentOnBothSidesLeavesTheTree) {
  std::atomic<bool> destroyed{false};
  auto& file = root_->MakeChild<TTestLeaf>("f");
  file.destroyed = &destroyed;
  KnownAbsent(file, true);
  EXPECT_FALSE(destroyed);  // one side known absent is not enough
  file.remote = true;
  file.MarkRemoteKnown();
  EXPECT_FALSE(destroyed);
  file.remote = false;
  file.MarkRemoteKnown();
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(root_->FindChild("f"), nullptr);
  EXPECT_THAT(display_->log.Events(), ElementsAre("removed f"));
  // The root has no parent and never leaves.
  root_->local = false;
  root_->remote = false;
  root_->MarkLocalKnown();
  root_->MarkRemoteKnown();
  EXPECT_FALSE(root_->IsDetached());
}

TEST_F(NodeTest, ClearLocalTreeVisitsEveryChildWhilePruning) {
  auto& folder = root_->MakeChild<TTestBranch>("dir");
  folder.local = true;
  folder.remote = true;
  folder.MarkRemoteKnown();
  std::vector<TTestLeaf*> files;
  for (const char* name : {"f0", "f1", "f2", "f3", "f4"}) {
    auto& file = folder.MakeChild<TTestLeaf>(name);
    file.local = true;
    file.remote = std::string(name) == "f1" || std::string(name) == "f3";
    file.MarkRemoteKnown();
    files.push_back(&file);
  }
  folder.ClearLocalTree();
  // f0, f2 and f4 were local only: gone. f1 and f3 stay, known absent here.
  ASSERT_EQ(folder.ChildCount(), 2);
  EXPECT_EQ(folder.FindChild("f1"), files[1]);
  EXPECT_EQ(files[1]->LocalPresence(), prAbsent);
  EXPECT_EQ(files[3]->LocalPresence(), prAbsent);
  EXPECT_EQ(folder.LocalPresence(), prAbsent);
  EXPECT_THAT(display_->log.Events(), ElementsAre("removed f0", "removed f2", "removed f4"));
  EXPECT_EQ(watcher_->log.Count("watch f1"), 1);
  EXPECT_EQ(watcher_->log.Count("watch dir"), 1);

  // Already absent: the walk stops at the folder.
  files[1]->local = true;
  folder.ClearLocalTree();
  EXPECT_TRUE(files[1]->local);
}

TEST_F(NodeTest, ClearRemoteTreeRemovesALocalOnlySubtreeBottomUp) {
  auto& folder = root_->MakeChild<TTestBranch>("dir");
  KnownAbsent(folder.MakeChild<TTestLeaf>("a"), true);
  KnownAbsent(folder.MakeChild<TTestLeaf>("b"), true);
  folder.local = false;
  folder.MarkLocalKnown();
  folder.remote = true;
  folder.ClearRemoteTree();
  EXPECT_EQ(root_->ChildCount(), 0);
  EXPECT_THAT(display_->log.Events(), ElementsAre("removed a", "removed b", "removed dir"));
}

TEST_F(NodeTest, ForgetRemoteTreeMakesEveryRemoteSideUnknownWithoutPruning) {
  auto& folder = root_->MakeChild<TTestBranch>("dir");
  auto& file = folder.MakeChild<TTestLeaf>("f");
  folder.remote = true;
  folder.MarkRemoteKnown();
  file.remote = true;
  file.MarkRemoteKnown();
  KnownAbsent(file, true);
  root_->ForgetRemoteTree();
  EXPECT_EQ(folder.RemotePresence(), prUnknown);
  EXPECT_EQ(file.RemotePresence(), prUnknown);
  EXPECT_FALSE(file.remote);
  EXPECT_EQ(folder.FindChild("f"), &file);
}

class TUnavailable : public std::runtime_error, public IServerUnavailableError {
 public:
  TUnavailable() : std::runtime_error("Server Is Not Available") {}
};

TEST_F(NodeTest, RefreshRemoteTakesAnUnavailableServerForAMissingRemoteSide) {
  auto& folder = root_->MakeChild<TTestBranch>("dir");
  auto& file = folder.MakeChild<TTestLeaf>("f");
  file.local = true;
  file.MarkLocalKnown();
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
  other.read_remote = nullptr;
  other.on_server = true;
  other.RefreshRemote(server);
  EXPECT_EQ(other.RemotePresence(), prPresent);
}

TEST_F(NodeTest, ChildrenCopyTheirParentsObservers) {
  auto& a = root_->MakeChild<TTestBranch>("a");
  EXPECT_EQ(a.Display(), root_->Display());
  EXPECT_EQ(a.PresenceWatcher(), root_->PresenceWatcher());
  root_->SetDisplay(nullptr);  // a nil display stands in
  ASSERT_TRUE(root_->Display());
  EXPECT_NE(root_->Display(), a.Display());  // only the root changed
  auto& b = root_->MakeChild<TTestLeaf>("b");
  EXPECT_EQ(b.Display(), root_->Display());
  b.SetPresenceWatcher(nullptr);
  b.local = true;
  b.MarkLocalKnown();
  EXPECT_EQ(watcher_->log.Count("watch b"), 0);
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
  EXPECT_THAT(display_->log.Events(), ElementsAre("removed dir", "removed x", "removed y"));
  EXPECT_THAT(watcher_->log.Events(), ElementsAre("unwatch dir", "unwatch x", "unwatch y"));
}

TEST_F(NodeTest, ReleasingTheRootReportsItsChildrenOnly) {
  auto root = std::make_unique<TTestBranch>(nullptr, "");
  root->SetDisplay(display_);
  root->SetPresenceWatcher(watcher_);
  root->MakeChild<TTestLeaf>("a");
  TNode::ReleaseRoot(std::move(root));
  EXPECT_THAT(display_->log.Events(), ElementsAre("removed a"));
  EXPECT_THAT(watcher_->log.Events(), ElementsAre("unwatch ", "unwatch a"));
}

}  // namespace
}  // namespace ravelo
