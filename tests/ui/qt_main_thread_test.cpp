#include "ui/qt_main_thread.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>

namespace ravelo {
namespace {

using namespace std::chrono_literals;

class QtMainThreadTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { app_ = std::make_unique<QCoreApplication>(argc_, argv_); }
  static void TearDownTestSuite() { app_.reset(); }

  // Runs Qt's own event loop until quit, or at most 10 seconds.
  static void RunEventLoop(QEventLoop& loop) {
    QTimer::singleShot(10s, &loop, &QEventLoop::quit);
    loop.exec();
  }

 private:
  static inline int argc_ = 1;
  static inline char name_[] = "qt_main_thread_test";
  static inline char* argv_[] = {name_, nullptr};
  static inline std::unique_ptr<QCoreApplication> app_;
};

TEST_F(QtMainThreadTest, InstallsItselfAndRunsAtOnceInTheGuiThread) {
  {
    TQtMainThread main_thread;
    EXPECT_EQ(&MainThread(), &main_thread);
    int runs = 0;
    MainThread().Synchronize([&] { ++runs; });
    MainThread().Post([&] { ++runs; });
    EXPECT_EQ(runs, 2);
    EXPECT_TRUE(MainThread().IsMainThread());
  }
  EXPECT_THROW(MainThread(), std::logic_error);
}

TEST_F(QtMainThreadTest, QtsEventLoopServesHandOvers) {
  TQtMainThread main_thread;
  QEventLoop loop;
  const auto gui = std::this_thread::get_id();
  std::thread::id ran_in;
  bool rethrown = false;
  std::thread worker([&] {
    MainThread().Synchronize([&] { ran_in = std::this_thread::get_id(); });
    try {
      MainThread().Synchronize([] { throw std::runtime_error("boom"); });
    } catch (const std::runtime_error&) {
      rethrown = true;
    }
    MainThread().Post([&] { loop.quit(); });
  });
  RunEventLoop(loop);
  worker.join();
  EXPECT_EQ(ran_in, gui);
  EXPECT_TRUE(rethrown);
}

TEST_F(QtMainThreadTest, WaitUntilServesTheThreadItWaitsFor) {
  TQtMainThread main_thread;
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    for (int i = 0; i < 20; ++i) MainThread().Synchronize([] {});
    finished = true;
  });
  EXPECT_TRUE(MainThread().WaitUntil([&] { return finished.load(); }, 10s));
  worker.join();
  EXPECT_FALSE(MainThread().WaitUntil([] { return false; }, 1ms));
}

TEST_F(QtMainThreadTest, AWaitInsideAHandOverServesTheOnesBehindIt) {
  // A posted function waits for a worker whose own hand-over was queued
  // right behind it; the wait must serve that one, or neither ends.
  TQtMainThread main_thread;
  QEventLoop loop;
  std::atomic<bool> finished{false};
  bool served = false;
  std::thread worker([&] {
    MainThread().Post([&] {
      served = MainThread().WaitUntil([&] { return finished.load(); }, 10s);
      loop.quit();
    });
    MainThread().Synchronize([] {});
    finished = true;
  });
  RunEventLoop(loop);
  worker.join();
  EXPECT_TRUE(served);
}

}  // namespace
}  // namespace ravelo
