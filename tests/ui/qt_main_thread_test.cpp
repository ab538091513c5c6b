#include "ui/qt_main_thread.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace ravelo {
namespace {

using namespace std::chrono_literals;

int argc = 1;
char name[] = "qt_main_thread_test";
char* argv[] = {name, nullptr};

// Runs Qt's own event loop until quit, or at most 10 seconds.
void RunEventLoop(QEventLoop& loop) {
  QTimer::singleShot(10s, &loop, &QEventLoop::quit);
  loop.exec();
}

// The hand-over's rules are TQueuedMainThread's and tested with it; here,
// that Qt's event loop serves the queue and the object is installed for its
// lifetime.
TEST(QtMainThreadTest, QtsEventLoopServesHandOvers) {
  QCoreApplication app(argc, argv);
  {
    TQtMainThread main_thread;
    QEventLoop loop;
    std::thread::id ran_in;
    std::thread worker([&] {
      MainThread().Synchronize([&] { ran_in = std::this_thread::get_id(); });
      MainThread().Post([&] { loop.quit(); });
    });
    RunEventLoop(loop);
    worker.join();
    EXPECT_EQ(ran_in, std::this_thread::get_id());
  }
  EXPECT_THROW(MainThread(), std::logic_error);
}

TEST(QtMainThreadTest, AWaitServesTheThreadItWaitsForEvenInsideAHandOver) {
  // A posted function waits for a worker whose own hand-overs were queued
  // right behind it; the wait must serve them, or neither ends.
  QCoreApplication app(argc, argv);
  TQtMainThread main_thread;
  QEventLoop loop;
  std::atomic<bool> finished{false};
  bool served = false;
  std::thread worker([&] {
    MainThread().Post([&] {
      served = MainThread().WaitUntil([&] { return finished.load(); }, 10s);
      loop.quit();
    });
    for (int i = 0; i < 20; ++i) MainThread().Synchronize([] {});
    finished = true;
  });
  RunEventLoop(loop);
  worker.join();
  EXPECT_TRUE(served);
  EXPECT_FALSE(MainThread().WaitUntil([] { return false; }, 0ms));
}

}  // namespace
}  // namespace ravelo
