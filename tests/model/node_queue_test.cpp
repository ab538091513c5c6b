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
    file_->destroyed = &destroyed_;
  }
  ~NodeQueueTest() override {
    gate_.Open();
    EXPECT_TRUE(test::WaitForWaiters(loop_));
    TNode::ReleaseRoot(std::move(root_));
  }

  // The given operation of the file waits at the gate (Finish opens it). A
  // rename renames. Every operation is also logged here, where the log
  // outlives the node; Started() serves the main thread until the first one.
  void BlockOn(TOp blocked) {
    file_->action = [this, blocked](TNode& node, TOp op, IServer&, const std::string& new_name) {
      performed_.Add(test::OpName(op));
      if (op == TOp::Rename) node.Parent()->RenameChild(node, new_name);
      if (op == blocked) gate_.Wait();
    };
  }
  bool Started() {
    return loop_.RunUntil([&] { return performed_.Size() >= 1; });
  }
  bool Finish() {
    gate_.Open();
    return test::WaitForWaiters(loop_);
  }
  std::vector<std::string> Displayed() const { return display_->log.Events(); }

  test::TTestMainLoop loop_;
  test::TGate gate_;
  test::TEventLog performed_;
  std::atomic<bool> destroyed_{false};
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
  file_->ClearCache();
  file_->UploadFresh();
  file_->CreateLocal();  // the local side is read first and found absent
  ASSERT_TRUE(Started());
  // The others are suspended, without a thread, until the first one ends.
  EXPECT_THAT(performed_.Events(), ElementsAre("synchronize"));
  EXPECT_EQ(file_->GetState(), nsInProcess);
  ASSERT_TRUE(Finish());
  EXPECT_THAT(file_->calls.Events(),
              ElementsAre("synchronize", "open", "clearcache", "uploadfresh", "createlocal"));
  // Each operation is reported when it starts and when it ends.
  EXPECT_EQ(display_->log.Count("changed f"), 10);
  EXPECT_FALSE(file_->IsInProcess());

  // A node present locally refuses to be created, and nothing is queued.
  auto& here = folder_->MakeChild<TTestLeaf>("here");
  here.on_disk = true;
  EXPECT_THROW(here.CreateLocal(), ENodeAlreadyLocal);
  EXPECT_EQ(TWaiter::LiveCount(), 0);
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
  file_->Synchronize();
  file_->Synchronize();  // the running one is equal
  file_->Rename("x");
  file_->Rename("y");  // a different new name: both run
  file_->Rename("x");  // equal to the queued one
  file_->Rename("X");  // new names compare exactly
  file_->Open();       // another kind
  file_->Open();
  ASSERT_TRUE(Finish());
  EXPECT_THAT(performed_.Events(),
              ElementsAre("synchronize", "rename", "rename", "rename", "open"));
  EXPECT_EQ(file_->Name(), "X");
  // Dropped operations report nothing: two reports for each of the five.
  EXPECT_EQ(display_->log.Size(), 10);
}

TEST_F(NodeQueueTest, ADeleteCancelsWhatWasQueuedBeforeAndAfterIt) {
  BlockOn(TOp::Open);
  file_->Open();
  file_->Synchronize();
  ASSERT_TRUE(Started());
  file_->Delete();
  file_->Open();
  file_->ClearCache();
  ASSERT_TRUE(Finish());
  EXPECT_THAT(performed_.Events(), ElementsAre("open", "delete"));
  // The open was cut short: no error, but it is no longer drawn in process.
  // The finished delete takes the node out of the tree.
  EXPECT_THAT(Displayed(), ElementsAre("changed f", "changed f", "changed f", "removed f"));
  EXPECT_TRUE(destroyed_);
  EXPECT_EQ(folder_->ChildCount(), 0);
  EXPECT_EQ(folder_->BusyChildren(), 0);
}

TEST_F(NodeQueueTest, ASecondDeleteLeavesTheRunningOneAloneAndARootStays) {
  BlockOn(TOp::Delete);
  file_->Delete();
  ASSERT_TRUE(Started());
  file_->Delete();
  root_->SetDisplay(nullptr);  // its reports are not the file's
  root_->Delete();
  ASSERT_TRUE(Finish());
  EXPECT_THAT(performed_.Events(), ElementsAre("delete"));
  EXPECT_THAT(Displayed(), ElementsAre("changed f", "removed f"));
  EXPECT_TRUE(destroyed_);
  EXPECT_THAT(root_->calls.Events(), ElementsAre("delete"));
  EXPECT_FALSE(root_->IsDetached());
}

// Asks for the operation again as soon as a failure is shown, while the
// cancelled rest of the queue is still in it.
class TRetryingDisplay : public test::TRecordingDisplay {
 public:
  void NodeFailed(TNode& node, const std::exception& error) override {
    test::TRecordingDisplay::NodeFailed(node, error);
    if (log.Size() == 2) node.Synchronize();
  }
};

TEST_F(NodeQueueTest, AFailureCancelsTheRestAndIsReportedOnce) {
  auto display = std::make_shared<TRetryingDisplay>();
  file_->SetDisplay(display);
  file_->action = [this](TNode&, TOp op, IServer&, const std::string&) {
    if (op != TOp::Open) return;
    gate_.Wait();
    throw std::runtime_error("Disk Full");
  };
  file_->Open();
  file_->Synchronize();  // cancelled by the failure, still queued when it shows
  file_->Rename("other");
  ASSERT_TRUE(loop_.RunUntil([&] { return file_->calls.Size() == 1; }));
  EXPECT_EQ(folder_->BusyChildren(), 1);
  ASSERT_TRUE(Finish());
  // The synchronize queued again from the failure report runs.
  EXPECT_THAT(file_->calls.Events(), ElementsAre("open", "synchronize"));
  EXPECT_THAT(display->log.Events(),
              ElementsAre("changed f", "failed f: Disk Full", "changed f", "changed f"));
  EXPECT_FALSE(file_->IsInProcess());
  EXPECT_EQ(folder_->BusyChildren(), 0);
}

// However the file leaves the tree while its operation runs, the queued one
// is cancelled, new ones are refused, and the file lives until its running
// operation ends, whose end goes unreported.
struct TLeaving {
  const char* how;
  std::function<void(TTestBranch& folder, TTestLeaf& file)> take_out;
  std::vector<std::string> displayed;
};
void PrintTo(const TLeaving& leaving, std::ostream* out) {
  *out << leaving.how;
}

class NodeLeavingTest : public NodeQueueTest, public ::testing::WithParamInterface<TLeaving> {};

TEST_P(NodeLeavingTest, ANodeThatLeavesWhileItsOperationRunsIsFreedWhenItEnds) {
  BlockOn(TOp::Open);
  auto& idle = folder_->MakeChild<TTestLeaf>("idle");
  file_->Open();
  file_->Synchronize();
  ASSERT_TRUE(Started());
  EXPECT_EQ(folder_->BusyChildren(), 1);
  EXPECT_FALSE(root_->HasBusyChildren());  // only direct children count
  folder_->RemoveChild(idle);              // removing an idle child changes nothing
  EXPECT_EQ(folder_->BusyChildren(), 1);
  display_->log.Clear();
  GetParam().take_out(*folder_, *file_);
  EXPECT_FALSE(destroyed_);
  EXPECT_EQ(file_->Parent(), nullptr);
  EXPECT_EQ(watcher_->log.Count("unwatch f"), 1);
  file_->Open();
  ASSERT_TRUE(Finish());
  EXPECT_TRUE(destroyed_);
  EXPECT_THAT(performed_.Events(), ElementsAre("open"));
  EXPECT_EQ(Displayed(), GetParam().displayed);
}

INSTANTIATE_TEST_SUITE_P(Ways, NodeLeavingTest,
                         ::testing::Values(TLeaving{"Removed",
                                                    [](TTestBranch& folder, TTestLeaf& file) {
                                                      folder.RemoveChild(file);
                                                      EXPECT_EQ(folder.BusyChildren(), 0);
                                                    },
                                                    {"removed f"}},
                                           TLeaving{"PrunedAsAbsentOnBothSides",
                                                    [](TTestBranch&, TTestLeaf& file) {
                                                      file.MarkLocalKnown();
                                                      file.MarkRemoteKnown();
                                                    },
                                                    {"removed f"}},
                                           TLeaving{"ItsFolderFreed",
                                                    [](TTestBranch& folder, TTestLeaf&) {
                                                      folder.Parent()->RemoveChild(folder);
                                                    },
                                                    {"removed dir", "removed f"}}),
                         [](const auto& info) { return std::string(info.param.how); });

}  // namespace
}  // namespace ravelo
