#pragma once

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <thread>

namespace ravelo {

// Counts the SIGINT and SIGTERM the process receives, for ravelo-cli's
// clean end. Made first thing in main, before any other thread: it blocks
// the two signals (and SIGPIPE, so that a closed output pipe is an error
// to see rather than death before the project is saved) in the calling
// thread, which every later thread inherits, and takes them in a thread of
// its own with sigwait. Programs started by the launcher get an empty mask.
//
// Threads: made and freed in the main thread; Count is read anywhere.
class TCliSignals {
 public:
  TCliSignals();
  ~TCliSignals();
  TCliSignals(const TCliSignals&) = delete;
  TCliSignals& operator=(const TCliSignals&) = delete;

  const std::atomic<int>& Count() const { return count_; }

 private:
  void Run();

  sigset_t set_{};
  std::atomic<int> count_{0};
  std::atomic<bool> ending_{false};
  std::thread thread_;  // last: starts when the rest is ready
};

}  // namespace ravelo
