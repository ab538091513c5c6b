#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>

#include "platform/queued_main_thread.h"

namespace {

// One worker-to-main-thread hand-over, from the worker's request until the
// function has run in the main thread: what a waiter pays per callback.
void BM_SynchronizeRoundTrip(benchmark::State& state) {
  ravelo::TQueuedMainThread main_thread;
  std::atomic<bool> stop{false};
  std::atomic<bool> go{false};
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (;;) {
      while (!go.load() && !stop.load()) std::this_thread::yield();
      if (stop.load()) return;
      go = false;
      main_thread.Synchronize([&] { done = true; });
    }
  });
  for (auto _ : state) {
    done = false;
    go = true;
    main_thread.WaitUntil([&] { return done.load(); }, std::chrono::seconds(10));
  }
  stop = true;
  worker.join();
}
BENCHMARK(BM_SynchronizeRoundTrip);

}  // namespace
