#include "model/waiter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "model/branch.h"
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
  std::vector<std::string> Displayed() const { return display_->log.Events(); }

  test::TTestMainLoop loop_;
  test::TGate gate_;
  std::shared_ptr<test::TRecordingDisplay> display_ = std::make_shared<test::TRecordingDisplay>();
  std::unique_ptr<TTestBranch> root_ = std::make_unique<TTestBranch>(nullptr, "");
  TTestLeaf* file_;
};

TEST_F(WaiterTest, OnlyTheFirstServerCallAsksForAServerAndTheOperationRunsAgain) {
  test::TTestAssigner assigner;
  file_->Open();  // makes no server call
  ASSERT_TRUE(test::WaitForWaiters(loop_));
  EXPECT_EQ(assigner.Calls(), 0);

  file_->action = UseServer;
  file_->Synchronize();
  ASSERT_TRUE(test::WaitForWaiters(loop_));
  EXPECT_EQ(assigner.Calls(), 1);
  EXPECT_THAT(file_->calls.Events(), ElementsAre("open", "synchronize", "synchronize"));
  EXPECT_THAT(assigner.server->log.Events(), ElementsAre("download f"));
  EXPECT_EQ(display_->log.Count("changed f"), 4);
  EXPECT_EQ(assigner.Queued(), 0);  // the end handler took it off the queue
}

TEST_F(WaiterTest, AWaiterWaitsForItsServerUntilGrantedOrTerminated) {
  auto& other = root_->MakeChild<TTestLeaf>("g");
  other.action = UseServer;
  other.Open();  // no device installed: the null server at once
  ASSERT_TRUE(test::WaitForWaiters(loop_));
  test::TTestAssigner assigner;
  file_->action = [this](TNode& node, TOp op, IServer& server, const std::string& name) {
    UseServer(node, op, server, name);
    gate_.Wait();  // holds the server
  };
  file_->Open();
  ASSERT_TRUE(loop_.RunUntil([&] { return assigner.server->log.Size() == 1; }));
  other.Open();
  ASSERT_TRUE(loop_.RunUntil([&] { return assigner.Queued() == 2; }));
  EXPECT_THAT(other.calls.Events(), ElementsAre("open", "open", "open"));  // waits
  // As a disconnect does: neither the waiting one (which does not run
  // again) nor the running one (whose result is discarded) shows an error.
  assigner.TerminateQueued();
  const std::string failure = "failed g: Trying To Perform Server Operation With No Server";
  ASSERT_TRUE(loop_.RunUntil([&] { return assigner.Queued() == 1; }));
  gate_.Open();
  ASSERT_TRUE(test::WaitForWaiters(loop_));
  EXPECT_EQ(display_->log.Count(failure), 1);  // the first open, with no device
  EXPECT_THAT(other.calls.Events(), ElementsAre("open", "open", "open"));
  EXPECT_THAT(assigner.server->log.Events(), ElementsAre("download f"));
  EXPECT_EQ(display_->log.Count("changed f"), 2);
  EXPECT_EQ(display_->log.Size(), 6);
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
