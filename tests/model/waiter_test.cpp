#include "model/waiter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "model/branch.h"
#include "model/operation_waiters.h"
#include "model/server.h"
#include "model/tree_errors.h"
#include "support/test_main_loop.h"
#include "support/tree_doubles.h"

namespace ravelo {
namespace {

using test::TOp;
using test::TTestBranch;
using test::TTestLeaf;
using ::testing::ElementsAre;

class WaiterTest : public ::testing::Test {
 protected:
  WaiterTest() {
    root_->SetDisplay(display_);
    file_ = &root_->MakeChild<TTestLeaf>("f");
  }
  ~WaiterTest() override {
    gate_.Open();
    EXPECT_TRUE(test::WaitForWaiters(loop_));
    TNode::ReleaseRoot(std::move(root_));
  }

  // An operation whose first step is a server call, as a download's is.
  static void UseServer(TNode& node, TOp, IServer& server, const std::string&) {
    server.Download(node);
  }

  test::TTestMainLoop loop_;
  test::TGate gate_;
  std::shared_ptr<test::TRecordingDisplay> display_ = std::make_shared<test::TRecordingDisplay>();
  std::unique_ptr<TTestBranch> root_ = std::make_unique<TTestBranch>(nullptr, "");
  TTestLeaf* file_;
};

TEST_F(WaiterTest, AnOperationWithoutServerCallsNeverAsksForAServer) {
  test::TTestAssigner assigner;
  file_->Open();
  ASSERT_TRUE(test::WaitForWaiters(loop_));
  EXPECT_EQ(assigner.Calls(), 0);
  EXPECT_THAT(file_->calls.Events(), ElementsAre("open"));
  EXPECT_THAT(display_->log.Events(), ElementsAre("changed f", "changed f"));
}

TEST_F(WaiterTest, TheFirstServerCallGetsAServerAndTheOperationRunsAgain) {
  test::TTestAssigner assigner;
  file_->action = UseServer;
  file_->Synchronize();
  ASSERT_TRUE(test::WaitForWaiters(loop_));
  EXPECT_EQ(assigner.Calls(), 1);
  EXPECT_THAT(file_->calls.Events(), ElementsAre("synchronize", "synchronize"));
  EXPECT_THAT(assigner.server->log.Events(), ElementsAre("download f"));
  EXPECT_THAT(display_->log.Events(), ElementsAre("changed f", "changed f"));
  EXPECT_EQ(assigner.Queued(), 0);  // the end handler took it off the queue
}

TEST_F(WaiterTest, AnotherErrorOfTheFirstAttemptNeverAsksForAServer) {
  test::TTestAssigner assigner;
  file_->action = [](TNode&, TOp, IServer&, const std::string&) {
    throw std::runtime_error("Access Denied");
  };
  file_->Open();
  ASSERT_TRUE(test::WaitForWaiters(loop_));
  EXPECT_EQ(assigner.Calls(), 0);
  EXPECT_THAT(display_->log.Events(), ElementsAre("changed f", "failed f: Access Denied"));
}

TEST_F(WaiterTest, TerminatedWhileWaitingForAServerItFailsWithNoServer) {
  test::TTestAssigner assigner(/*grant=*/false);
  file_->action = UseServer;
  file_->Open();
  ASSERT_TRUE(loop_.RunUntil([&] { return assigner.Queued() == 1; }));
  assigner.TerminateQueued();
  ASSERT_TRUE(test::WaitForWaiters(loop_));
  // The second attempt ran with the null server.
  EXPECT_THAT(file_->calls.Events(), ElementsAre("open", "open"));
  EXPECT_THAT(
      display_->log.Events(),
      ElementsAre("changed f", "failed f: Trying To Perform Server Operation With No Server"));
  EXPECT_EQ(assigner.server->log.Size(), 0);
}

TEST_F(WaiterTest, WithoutADeviceAnOperationNeedingAServerFails) {
  file_->action = UseServer;
  file_->Open();
  ASSERT_TRUE(test::WaitForWaiters(loop_));
  EXPECT_THAT(
      display_->log.Events(),
      ElementsAre("changed f", "failed f: Trying To Perform Server Operation With No Server"));
}

TEST_F(WaiterTest, AServerServesItsWaitersOneAfterTheOther) {
  test::TTestAssigner assigner;
  auto& other = root_->MakeChild<TTestLeaf>("g");
  file_->action = [this](TNode& node, TOp op, IServer& server, const std::string& name) {
    UseServer(node, op, server, name);
    gate_.Wait();  // holds the server
  };
  other.action = UseServer;
  file_->Open();
  ASSERT_TRUE(loop_.RunUntil([&] { return assigner.server->log.Size() == 1; }));
  other.Open();
  ASSERT_TRUE(loop_.RunUntil([&] { return assigner.Queued() == 2; }));
  loop_.RunFor(std::chrono::milliseconds(20));
  EXPECT_THAT(other.calls.Events(), ElementsAre("open"));  // still waiting
  gate_.Open();
  ASSERT_TRUE(test::WaitForWaiters(loop_));
  EXPECT_THAT(assigner.server->log.Events(), ElementsAre("download f", "download g"));
  EXPECT_THAT(other.calls.Events(), ElementsAre("open", "open"));
}

TEST_F(WaiterTest, ARenamePerformsWithItsOwnNewName) {
  file_->action = [](TNode& node, TOp op, IServer&, const std::string& new_name) {
    if (op == TOp::Rename) node.Parent()->RenameChild(node, new_name);
  };
  file_->Rename("first.txt");  // alone: resumed at once
  ASSERT_TRUE(test::WaitForWaiters(loop_));
  file_->Rename("second.txt");
  file_->Rename("third.txt");
  ASSERT_TRUE(test::WaitForWaiters(loop_));
  EXPECT_THAT(file_->calls.Events(),
              ElementsAre("rename:first.txt", "rename:second.txt", "rename:third.txt"));
  EXPECT_EQ(file_->Name(), "third.txt");
  EXPECT_EQ(root_->FindChild("THIRD.TXT"), file_);
}

TEST_F(WaiterTest, OnlyRenamesWithTheSameNewNameAreTheSame) {
  TRenameWaiter a(*file_, "x");
  TRenameWaiter same(*file_, "x");
  TRenameWaiter other_case(*file_, "X");
  TOpenWaiter open(*file_);
  EXPECT_TRUE(a.SameAs(same));
  EXPECT_FALSE(a.SameAs(other_case));
  EXPECT_FALSE(a.SameAs(open));
  EXPECT_TRUE(open.SameAs(a));  // the queue compares waiters of one kind only
  EXPECT_EQ(open.Server(), NoServer());
  EXPECT_FALSE(open.WaitingForServer());
  EXPECT_FALSE(open.Terminated());
}

TEST_F(WaiterTest, AThrowingDisplayDoesNotStopTheQueue) {
  class TThrowingDisplay : public test::TRecordingDisplay {
   public:
    void NodeFailed(TNode&, const std::exception&) override { throw std::runtime_error("bad"); }
  };
  file_->SetDisplay(std::make_shared<TThrowingDisplay>());
  file_->action = [](TNode&, TOp op, IServer&, const std::string&) {
    if (op == TOp::Open) throw std::runtime_error("first");
  };
  file_->Open();
  ASSERT_TRUE(test::WaitForWaiters(loop_));
  file_->Synchronize();
  ASSERT_TRUE(test::WaitForWaiters(loop_));
  EXPECT_THAT(file_->calls.Events(), ElementsAre("open", "synchronize"));
}

}  // namespace
}  // namespace ravelo
