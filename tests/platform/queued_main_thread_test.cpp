#include "platform/queued_main_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "support/test_main_loop.h"

namespace ravelo {
namespace {

using namespace std::chrono_literals;

TEST(QueuedMainThreadTest, FromMainThreadRunsAtOnce) {
  test::TTestMainLoop loop;
  int runs = 0;
  MainThread().Synchronize([&] { ++runs; });
  EXPECT_EQ(runs, 1);
  MainThread().Post([&] { ++runs; });
  EXPECT_EQ(runs, 2);
  EXPECT_TRUE(MainThread().IsMainThread());
}

TEST(QueuedMainThreadTest, SynchronizeRunsInMainThreadAndWaits) {
  test::TTestMainLoop loop;
  const auto main_id = std::this_thread::get_id();
  std::thread::id ran_in;
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    EXPECT_FALSE(MainThread().IsMainThread());
    MainThread().Synchronize([&] { ran_in = std::this_thread::get_id(); });
    // Synchronize returns only after the function ran.
    EXPECT_EQ(ran_in, main_id);
    returned = true;
  });
  EXPECT_TRUE(loop.RunUntil([&] { return returned.load(); }));
  worker.join();
}

TEST(QueuedMainThreadTest, SynchronizeRethrowsInTheCaller) {
  test::TTestMainLoop loop;
  std::atomic<bool> caught{false};
  std::thread worker([&] {
    try {
      MainThread().Synchronize([] { throw std::runtime_error("boom"); });
    } catch (const std::runtime_error& error) {
      caught = std::string(error.what()) == "boom";
    }
  });
  loop.RunUntil([&] { return caught.load(); });
  worker.join();
  EXPECT_TRUE(caught);
}

TEST(QueuedMainThreadTest, PostedFunctionsRunInOrderOnlyWhenPumped) {
  test::TTestMainLoop loop;
  std::vector<int> order;
  std::thread worker([&] {
    for (int i = 0; i < 100; ++i) MainThread().Post([&order, i] { order.push_back(i); });
  });
  worker.join();
  EXPECT_TRUE(order.empty());
  loop.ProcessPending();
  ASSERT_EQ(order.size(), 100U);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(order[static_cast<size_t>(i)], i);
}

TEST(QueuedMainThreadTest, WaitUntilServesHandOversOfTheThreadWaitedFor) {
  // The main thread waits for a thread that itself needs the main thread:
  // without serving hand-overs meanwhile the two would deadlock.
  test::TTestMainLoop loop;
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    for (int i = 0; i < 10; ++i) MainThread().Synchronize([] {});
    finished = true;
  });
  EXPECT_TRUE(MainThread().WaitUntil([&] { return finished.load(); }, 10s));
  worker.join();
  EXPECT_FALSE(MainThread().WaitUntil([] { return false; }, 5ms));
}

TEST(QueuedMainThreadTest, AWaitInsideAHandOverServesTheHandOversQueuedWithIt) {
  // A posted function waits for a worker whose own hand-over was queued
  // right behind it: the wait must serve that one too, or neither ends.
  std::mutex mutex;
  std::condition_variable woken;
  int wakes = 0;  // mutex
  TQueuedMainThread main_thread([&] {
    {
      std::lock_guard lock(mutex);
      ++wakes;
    }
    woken.notify_all();
  });
  std::atomic<bool> finished{false};
  bool served = false;
  std::thread worker([&] {
    main_thread.Post([&] { served = main_thread.WaitUntil([&] { return finished.load(); }, 2s); });
    main_thread.Synchronize([] {});
    finished = true;
  });
  {
    std::unique_lock lock(mutex);
    EXPECT_TRUE(woken.wait_for(lock, 10s, [&] { return wakes == 2; }));
  }
  main_thread.ProcessPending();
  // Should the wait inside not serve the worker, serve it here, so that the
  // test fails instead of hanging.
  EXPECT_TRUE(main_thread.WaitUntil([&] { return finished.load(); }, 10s));
  worker.join();
  EXPECT_TRUE(served);
}

TEST(QueuedMainThreadTest, WakeHookIsCalledForEveryHandOver) {
  std::atomic<int> wakes{0};
  TQueuedMainThread main_thread([&] { ++wakes; });
  std::thread worker([&] {
    main_thread.Post([] {});
    main_thread.Post([] {});
  });
  worker.join();
  EXPECT_EQ(wakes, 2);
  main_thread.ProcessPending();
}

}  // namespace
}  // namespace ravelo
