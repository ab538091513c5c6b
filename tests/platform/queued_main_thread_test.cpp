#include "platform/queued_main_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>

#include "support/test_main_loop.h"

namespace ravelo {
namespace {

using namespace std::chrono_literals;

TEST(QueuedMainThreadTest, SynchronizeRunsInTheMainThreadWaitsAndRethrows) {
  // The main thread waits for a worker that needs it: WaitUntil must serve
  // hand-overs all along, or the two deadlock.
  test::TTestMainLoop loop;
  EXPECT_TRUE(MainThread().IsMainThread());
  int runs = 0;
  MainThread().Synchronize([&] { ++runs; });
  MainThread().Post([&] { ++runs; });
  EXPECT_EQ(runs, 2);  // from the main thread both run at once

  const auto main_id = std::this_thread::get_id();
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    for (int i = 0; i < 10; ++i) {
      std::thread::id ran_in;
      MainThread().Synchronize([&] { ran_in = std::this_thread::get_id(); });
      EXPECT_EQ(ran_in, main_id);
    }
    EXPECT_THROW(MainThread().Synchronize([] { throw std::runtime_error("boom"); }),
                 std::runtime_error);
    returned = true;
  });
  EXPECT_TRUE(MainThread().WaitUntil([&] { return returned.load(); }, 10s));
  worker.join();
  EXPECT_FALSE(MainThread().WaitUntil([] { return false; }, 0ms));
}

TEST(QueuedMainThreadTest, PostWakesAndRunsInOrderOnlyWhenPumped) {
  std::atomic<int> wakes{0};
  TQueuedMainThread main_thread([&] { ++wakes; });
  std::string order;
  std::thread worker([&] {
    for (char c = 'a'; c <= 'z'; ++c) main_thread.Post([&order, c] { order += c; });
  });
  worker.join();
  EXPECT_EQ(wakes, 26);
  EXPECT_TRUE(order.empty());
  main_thread.ProcessPending();
  EXPECT_EQ(order, "abcdefghijklmnopqrstuvwxyz");
}

TEST(QueuedMainThreadTest, AWaitInsideAHandOverServesTheHandOversQueuedWithIt) {
  // A posted function waits for a worker whose own hand-over was queued
  // right behind it: the wait must serve that one too, or neither ends.
  std::atomic<int> wakes{0};
  TQueuedMainThread main_thread([&] { ++wakes; });
  std::atomic<bool> finished{false};
  bool served = false;
  std::thread worker([&] {
    main_thread.Post([&] { served = main_thread.WaitUntil([&] { return finished.load(); }, 2s); });
    main_thread.Synchronize([] {});
    finished = true;
  });
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (wakes < 2 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  main_thread.ProcessPending();
  // Serve a worker the inner wait left waiting, so that the test fails
  // instead of hanging.
  EXPECT_TRUE(main_thread.WaitUntil([&] { return finished.load(); }, 10s));
  worker.join();
  EXPECT_TRUE(served);
}

}  // namespace
}  // namespace ravelo
