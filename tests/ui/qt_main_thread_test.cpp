#include "ui/qt_main_thread.h"

#include <QCoreApplication>
#include <QTest>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace ravelo {

using namespace std::chrono_literals;

class QtMainThreadTest : public QObject {
  Q_OBJECT

 private slots:
  void installsItselfAndRunsAtOnceInTheGuiThread() {
    {
      TQtMainThread main_thread;
      QCOMPARE(&MainThread(), static_cast<IMainThread*>(&main_thread));
      int runs = 0;
      MainThread().Synchronize([&] { ++runs; });
      MainThread().Post([&] { ++runs; });
      QCOMPARE(runs, 2);
      QVERIFY(MainThread().IsMainThread());
    }
    QVERIFY_THROWS_EXCEPTION(std::logic_error, MainThread());
  }

  void theEventLoopServesHandOvers() {
    // No explicit pumping: Qt's own loop runs what the worker hands over.
    TQtMainThread main_thread;
    const auto gui = std::this_thread::get_id();
    std::atomic<int> done{0};
    std::thread::id ran_in;
    std::thread worker([&] {
      MainThread().Synchronize([&] { ran_in = std::this_thread::get_id(); });
      try {
        MainThread().Synchronize([] { throw std::runtime_error("boom"); });
      } catch (const std::runtime_error&) {
        ++done;
      }
      MainThread().Post([&] { ++done; });
    });
    QTRY_COMPARE(done.load(), 2);
    worker.join();
    QVERIFY(ran_in == gui);
  }

  void waitUntilServesTheThreadItWaitsFor() {
    TQtMainThread main_thread;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
      for (int i = 0; i < 20; ++i) MainThread().Synchronize([] {});
      finished = true;
    });
    QVERIFY(MainThread().WaitUntil([&] { return finished.load(); }, 10s));
    worker.join();
    QVERIFY(!MainThread().WaitUntil([] { return false; }, 1ms));
  }

  void aWaitInsideAHandOverServesTheOnesBehindIt() {
    // A posted function waits for a worker whose own hand-over was queued
    // right behind it; the wait must serve that one, or neither ends.
    TQtMainThread main_thread;
    std::atomic<bool> finished{false};
    std::atomic<bool> served{false};
    std::thread worker([&] {
      MainThread().Post(
          [&] { served = MainThread().WaitUntil([&] { return finished.load(); }, 10s); });
      MainThread().Synchronize([] {});
      finished = true;
    });
    QTRY_VERIFY(served.load());
    worker.join();
  }
};

}  // namespace ravelo

QTEST_MAIN(ravelo::QtMainThreadTest)
#include "qt_main_thread_test.moc"
