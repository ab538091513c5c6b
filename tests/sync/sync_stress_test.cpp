// Real folders and files under random operations, with a slow server,
// local listings merged in the main thread as the folder watcher does, and
// folders removed from the main thread while their children's operations
// run. What must hold: every waiter ends, no node stays in process, every
// display call comes in the main thread, and no operation touches a freed
// node (the sanitizer builds check that).

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "model/children_iterator.h"
#include "model/syn_display.h"
#include "model/waiter.h"
#include "sync_test_fixture.h"

namespace ravelo::test {
namespace {

class TCountingDisplay : public ISynDisplay {
 public:
  void NodeChanged(TNode&) override { Check(); }
  void NodeRemoved(TNode&) override { Check(); }
  void NodeFailed(TNode&, const std::exception&) override { Check(); }
  std::atomic<int> wrong_thread{0};

 private:
  void Check() {
    if (!MainThread().IsMainThread()) ++wrong_thread;
  }
};

class SyncStressTest : public TSyncTest {
 protected:
  // Files of the folder on both sides, so that every operation has work.
  void Fill(const std::string& folder, int round) {
    for (int f = 0; f < 8; ++f) {
      const std::string path = folder + "/f" + std::to_string(f);
      if (Below(3) != 0) server->AddFile(path, "remote " + path, 45000 + round);
      try {
        if (Below(3) != 0) dir.CreateFile("site/" + path, "local " + path);
      } catch (const std::exception&) {
        // An operation still running removed the folder meanwhile.
      }
    }
  }

  static void Start(TNode& node) {
    try {
      switch (Below(9)) {
        case 0:
          node.Open();
          break;
        case 1:
        case 2:
          node.Synchronize();
          break;
        case 3:
          node.UploadFresh();
          break;
        case 4:
          node.Delete();
          break;
        case 5:
          node.ClearCache();
          break;
        case 6:
          node.Rename("r" + std::to_string(Below(3)));
          break;
        case 7:
          node.CreateLocal();
          break;
        default:
          node.GetState();
      }
    } catch (const std::exception&) {
      // CreateLocal of a node that is local already.
    }
  }
};

// Each round lists a folder in the main thread (as the folder watcher's
// merge does), starts operations on it and its children, lets the slow
// server serve some of their calls and then removes the folder from the
// main thread while they run.
TEST_F(SyncStressTest, FoldersLeaveWhileTheirChildrenWork) {
  SeedRandom(1);
  auto counting = std::make_shared<TCountingDisplay>();
  root->SetDisplay(counting);
  std::atomic<int> calls{0};
  server->on_call = [&](const std::string&) {
    ++calls;
    std::this_thread::sleep_for(std::chrono::microseconds(Below(200)));
  };
  for (int round = 0; round < 240; ++round) {
    const std::string name = "d" + std::to_string(round % 3);
    Fill(name, round);
    TSynFolder& folder = *root->ObtainFolder(name);
    try {
      folder.MergeRemoteListing(*server->ListFolder(folder));
      folder.MergeLocalListing(*device->ListLocal(folder));
    } catch (const std::exception&) {
      // A name that is a file on one side and a folder on the other.
    }
    for (auto children = folder.GetChildren(); !children->Done();) Start(children->Next());
    if (Below(4) == 0) Start(folder);
    const int target = calls.load() + Below(16);
    ASSERT_TRUE(loop.RunUntil([&] { return calls.load() >= target || TWaiter::LiveCount() == 0; }));
    // Seen now, in the main thread, it cannot be freed before we pump again.
    if (TNode* again = root->FindChild(name)) root->RemoveChild(*again);
    if (TWaiter::LiveCount() > 60) {
      ASSERT_TRUE(loop.RunUntil([] { return TWaiter::LiveCount() < 20; }));
    }
  }
  ASSERT_TRUE(WaitForWaiters(loop));
  CheckIdle(*root);
  EXPECT_EQ(counting->wrong_thread.load(), 0);
}

}  // namespace
}  // namespace ravelo::test
