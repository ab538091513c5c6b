// The node's operation queue: starters, duplicate and delete rules, the
// callbacks and the busy counters, and the lifetime of released nodes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

#include "model/branch.h"
#include "model/node.h"
#include "model/tree_errors.h"
#include "model/waiter.h"
#include "support/test_main_loop.h"
#include "support/tree_doubles.h"

namespace ravelo {
namespace {

using test::TOp;
using test::TTestBranch;
using test::TTestLeaf;
using ::testing::ElementsAre;

class NodeQueueTest : public ::testing::Test {
 protected:
  NodeQueueTest() {
    root_->SetDisplay(display_);
    root_->SetPresenceWatcher(watcher_);
    folder_ = &root_->MakeChild<TTestBranch>("dir");
    file_ = &folder_->MakeChild<TTestLeaf>("f");
  }
  ~NodeQueueTest() override {
    gate_.Open();
    EXPECT_TRUE(test::WaitForWaiters(loop_));
    TNode::ReleaseRoot(std::move(root_));
  }

  // The given operation of the file waits at the gate. Every operation is
  // also logged here, where the log outlives the node.
  void BlockOn(TOp blocked) {
    file_->action = [this, blocked](TNode&, TOp op, IServer&, const std::string&) {
      performed_.Add(test::OpName(op));
      if (op == blocked) gate_.Wait();
    };
  }
  // Serves the main thread until the file has performed n operations.
  bool RunUntilCalls(int n) {
    return loop_.RunUntil([&] { return file_->calls.Size() >= n; });
  }
  std::vector<std::string> Events() const { return display_->log.Events(); }

  test::TTestMainLoop loop_;
  test::TGate gate_;
  test::TEventLog performed_;
  std::shared_ptr<test::TRecordingDisplay> display_ = std::make_shared<test::TRecordingDisplay>();
  std::shared_ptr<test::TRecordingWatcher> watcher_ = std::make_shared<test::TRecordingWatcher>();
  std::unique_ptr<TTestBranch> root_ = std::make_unique<TTestBranch>(nullptr, "");
  TTestBranch* folder_;
  TTestLeaf* file_;
};

TEST_F(NodeQueueTest, OperationsOfOneNodeRunOneAfterTheOther) {
  BlockOn(TOp::Synchronize);
  file_->Synchronize();
  file_->Open();
  file_->UploadFresh();
  ASSERT_TRUE(RunUntilCalls(1));
  loop_.RunFor(std::chrono::milliseconds(20));
  EXPECT_THAT(file_->calls.Events(), ElementsAre("synchronize"));
  EXPECT_TRUE(file_->IsInProcess());
  EXPECT_EQ(file_->GetState(), nsInProcess);
  gate_.Open();
  ASSERT_TRUE(test::WaitForWaiters(loop_));
  EXPECT_THAT(file_->calls.Events(), ElementsAre("synchronize", "open", "uploadfresh"));
  // Each operation is reported when it starts and when it ends.
  EXPECT_EQ(display_->log.Count("changed f"), 6);
  EXPECT_FALSE(file_->IsInProcess());
}

TEST_F(NodeQueueTest, OperationsOfDifferentNodesRunAtTheSameTime) {
  auto& other = folder_->MakeChild<TTestLeaf>("g");
  std::atomic<int> started{0};
  test::TGate both;
  const test::TOpAction meet = [&](TNode&, TOp, IServer&, const std::string&) {
    if (started.fetch_add(1) + 1 == 2) both.Open();
    EXPECT_TRUE(both.Wait(std::chrono::seconds(10)));
  };
  file_->action = meet;
  other.action = meet;
  file_->Open();
  other.Open();
  EXPECT_TRUE(test::WaitForWaiters(loop_));
  EXPECT_EQ(started.load(), 2);
}

TEST_F(NodeQueueTest, AnEqualOperationAlreadyQueuedDropsTheNewOne) {
  BlockOn(TOp::Synchronize);
  file_->action = [this](TNode& node, TOp op, IServer&, const std::string& new_name) {
    if (op == TOp::Synchronize) gate_.Wait();
    if (op == TOp::Rename) node.Parent()->RenameChild(node, new_name);
  };
  file_->Synchronize();
  file_->Synchronize();  // the running one is equal
  file_->Rename("x");
  file_->Rename("y");  // a different new name: both run
  file_->Rename("x");  // equal to the queued one
  file_->Open();
  file_->Open();
  gate_.Open();
  ASSERT_TRUE(test::WaitForWaiters(loop_));
  EXPECT_THAT(file_->calls.Events(), ElementsAre("synchronize", "rename:x", "rename:y", "open"));
  EXPECT_EQ(file_->Name(), "y");
  // Dropped operations report nothing: two reports for each of the four.
  EXPECT_EQ(display_->log.Size(), 8);
}

TEST_F(NodeQueueTest, ADeleteCancelsWhatWasQueuedBeforeAndAfterIt) {
  std::atomic<bool> destroyed{false};
  file_->destroyed = &destroyed;
  BlockOn(TOp::Open);
  file_->Open();
  file_->Synchronize();
  ASSERT_TRUE(loop_.RunUntil([&] { return performed_.Size() == 1; }));
  file_->Delete();
  file_->Open();
  file_->ClearCache();
  gate_.Open();
  ASSERT_TRUE(test::WaitForWaiters(loop_));
  EXPECT_THAT(performed_.Events(), ElementsAre("open", "delete"));
  // The open was cut short: no error, but it is no longer drawn in process.
  // The finished delete takes the node out of the tree.
  EXPECT_THAT(Events(), ElementsAre("changed f", "changed f", "changed f", "removed f"));
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(folder_->ChildCount(), 0);
  EXPECT_EQ(folder_->BusyChildren(), 0);
}

TEST_F(NodeQueueTest, ASecondDeleteLeavesTheRunningOneAlone) {
  BlockOn(TOp::Delete);
  file_->Delete();
  ASSERT_TRUE(loop_.RunUntil([&] { return performed_.Size() == 1; }));
  file_->Delete();
  gate_.Open();
  ASSERT_TRUE(test::WaitForWaiters(loop_));
  EXPECT_THAT(performed_.Events(), ElementsAre("delete"));
  EXPECT_THAT(Events(), ElementsAre("changed f", "removed f"));
  EXPECT_EQ(folder_->ChildCount(), 0);
}

TEST_F(NodeQueueTest, ADeletedRootStaysInPlace) {
  root_->Delete();
  ASSERT_TRUE(test::WaitForWaiters(loop_));
  EXPECT_THAT(root_->calls.Events(), ElementsAre("delete"));
  EXPECT_FALSE(root_->IsDetached());
}

TEST_F(NodeQueueTest, AFailureCancelsTheRestAndIsReportedOnce) {
  file_->action = [this](TNode&, TOp op, IServer&, const std::string&) {
    if (op != TOp::Open) return;
    gate_.Wait();
    throw std::runtime_error("Disk Full");
  };
  file_->Open();
  file_->Synchronize();
  file_->Rename("other");
  ASSERT_TRUE(RunUntilCalls(1));
  EXPECT_EQ(folder_->BusyChildren(), 1);
  gate_.Open();
  ASSERT_TRUE(test::WaitForWaiters(loop_));
  EXPECT_THAT(file_->calls.Events(), ElementsAre("open"));
  EXPECT_THAT(Events(), ElementsAre("changed f", "failed f: Disk Full"));
  EXPECT_FALSE(file_->IsInProcess());
  EXPECT_EQ(folder_->BusyChildren(), 0);
  // The queue works again afterwards.
  file_->action = nullptr;
  file_->Synchronize();
  ASSERT_TRUE(test::WaitForWaiters(loop_));
  EXPECT_THAT(file_->calls.Events(), ElementsAre("open", "synchronize"));
}

// Asks for the operation again as soon as a failure is shown, while the
// cancelled rest of the queue is still in it.
class TRetryingDisplay : public test::TRecordingDisplay {
 public:
  void NodeFailed(TNode& node, const std::exception& error) override {
    test::TRecordingDisplay::NodeFailed(node, error);
    node.Synchronize();
  }
};

TEST_F(NodeQueueTest, AnOperationQueuedRightAfterAFailureStillRuns) {
  file_->SetDisplay(std::make_shared<TRetryingDisplay>());
  file_->action = [this](TNode&, TOp op, IServer&, const std::string&) {
    performed_.Add(test::OpName(op));
    if (op == TOp::Open) throw std::runtime_error("Broken");
  };
  file_->Open();
  file_->Synchronize();  // cancelled by the failure, still queued when it shows
  ASSERT_TRUE(test::WaitForWaiters(loop_));
  EXPECT_THAT(performed_.Events(), ElementsAre("open", "synchronize"));
}

TEST_F(NodeQueueTest, BusyChildrenCountsRunningChildrenOnly) {
  BlockOn(TOp::Synchronize);
  auto& idle = folder_->MakeChild<TTestLeaf>("idle");
  file_->Synchronize();
  file_->Synchronize();  // dropped before it starts: counts nothing
  ASSERT_TRUE(RunUntilCalls(1));
  EXPECT_EQ(folder_->BusyChildren(), 1);
  EXPECT_TRUE(folder_->HasBusyChildren());
  EXPECT_FALSE(root_->HasBusyChildren());  // only direct children count
  folder_->RemoveChild(idle);              // removing an idle child changes nothing
  EXPECT_EQ(folder_->BusyChildren(), 1);
  gate_.Open();
  ASSERT_TRUE(test::WaitForWaiters(loop_));
  EXPECT_EQ(folder_->BusyChildren(), 0);
  EXPECT_FALSE(folder_->HasBusyChildren());
}

TEST_F(NodeQueueTest, ANodeReleasedWhileItsOperationRunsIsFreedWhenItEnds) {
  std::atomic<bool> destroyed{false};
  file_->destroyed = &destroyed;
  BlockOn(TOp::Synchronize);
  file_->Synchronize();
  file_->Open();
  ASSERT_TRUE(loop_.RunUntil([&] { return performed_.Size() == 1; }));
  ASSERT_EQ(folder_->BusyChildren(), 1);
  folder_->RemoveChild(*file_);
  EXPECT_FALSE(destroyed);  // its waiter still runs
  EXPECT_EQ(folder_->BusyChildren(), 0);
  EXPECT_THAT(watcher_->log.Events(), ElementsAre("unwatch f"));
  gate_.Open();
  ASSERT_TRUE(test::WaitForWaiters(loop_));
  EXPECT_TRUE(destroyed);
  // The queued open was cancelled; the running one's end went unreported.
  EXPECT_THAT(performed_.Events(), ElementsAre("synchronize"));
  EXPECT_THAT(Events(), ElementsAre("changed f", "removed f"));
  EXPECT_EQ(folder_->BusyChildren(), 0);
}

TEST_F(NodeQueueTest, PruningANodeCancelsItsQueuedOperations) {
  std::atomic<bool> destroyed{false};
  file_->destroyed = &destroyed;
  BlockOn(TOp::Open);
  file_->Open();
  file_->Synchronize();
  ASSERT_TRUE(loop_.RunUntil([&] { return performed_.Size() == 1; }));
  file_->local = false;
  file_->remote = false;
  file_->MarkLocalKnown();
  file_->MarkRemoteKnown();  // both sides known absent now
  EXPECT_EQ(folder_->FindChild("f"), nullptr);
  EXPECT_THAT(Events(), ElementsAre("changed f", "removed f"));
  EXPECT_THAT(watcher_->log.Events(), ElementsAre("watch f", "unwatch f"));
  gate_.Open();
  ASSERT_TRUE(test::WaitForWaiters(loop_));
  EXPECT_TRUE(destroyed);
  EXPECT_THAT(performed_.Events(), ElementsAre("open"));
}

TEST_F(NodeQueueTest, AFolderFreedWhileAChildRunsLeavesTheChildAliveUntilItEnds) {
  std::atomic<bool> folder_destroyed{false};
  std::atomic<bool> file_destroyed{false};
  folder_->destroyed = &folder_destroyed;
  file_->destroyed = &file_destroyed;
  BlockOn(TOp::Open);
  file_->Open();
  ASSERT_TRUE(loop_.RunUntil([&] { return performed_.Size() == 1; }));
  root_->RemoveChild(*folder_);
  EXPECT_TRUE(folder_destroyed);
  EXPECT_FALSE(file_destroyed);
  EXPECT_TRUE(file_->IsDetached());
  EXPECT_EQ(file_->Parent(), nullptr);
  gate_.Open();
  ASSERT_TRUE(test::WaitForWaiters(loop_));
  EXPECT_TRUE(file_destroyed);
  EXPECT_THAT(Events(), ElementsAre("changed f", "removed dir", "removed f"));
}

TEST_F(NodeQueueTest, AnOperationStartedOnANodeThatLeftDoesNothing) {
  BlockOn(TOp::Open);
  {
    TNodeHold hold(*file_);
    folder_->RemoveChild(*file_);
    file_->Open();
  }
  ASSERT_TRUE(test::WaitForWaiters(loop_));
  EXPECT_EQ(performed_.Size(), 0);
}

TEST_F(NodeQueueTest, CreateLocalRefusesANodePresentLocally) {
  file_->on_disk = true;
  try {
    file_->CreateLocal();
    FAIL();
  } catch (const ENodeAlreadyLocal& error) {
    EXPECT_STREQ(error.what(), "Node Is Already Local");
  }
  EXPECT_EQ(TWaiter::LiveCount(), 0);  // nothing queued
  EXPECT_EQ(file_->LocalPresence(), prPresent);

  auto& absent = folder_->MakeChild<TTestLeaf>("new");
  absent.CreateLocal();
  ASSERT_TRUE(test::WaitForWaiters(loop_));
  EXPECT_THAT(absent.calls.Events(), ElementsAre("createlocal"));
}

TEST_F(NodeQueueTest, StartersQueueTheirOwnOperation) {
  file_->Open();
  file_->Synchronize();
  file_->ClearCache();
  file_->UploadFresh();
  file_->CreateLocal();
  ASSERT_TRUE(test::WaitForWaiters(loop_));
  EXPECT_THAT(file_->calls.Events(),
              ElementsAre("open", "synchronize", "clearcache", "uploadfresh", "createlocal"));
}

}  // namespace
}  // namespace ravelo
