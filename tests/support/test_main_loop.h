#pragma once

#include <chrono>
#include <functional>

#include "platform/queued_main_thread.h"

namespace ravelo::test {

// Makes the test's thread the program's main thread for the object's
// lifetime. Hand-overs from worker threads run only while the test pumps.
class TTestMainLoop {
 public:
  TTestMainLoop();
  ~TTestMainLoop();
  TTestMainLoop(const TTestMainLoop&) = delete;
  TTestMainLoop& operator=(const TTestMainLoop&) = delete;

  // Serves hand-overs until done() is true; false when the timeout ran out.
  bool RunUntil(const std::function<bool()>& done,
                std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // Serves hand-overs for the given time.
  void RunFor(std::chrono::milliseconds duration);
  void ProcessPending() { main_thread_.ProcessPending(); }
  TQueuedMainThread& MainThread() { return main_thread_; }

 private:
  TQueuedMainThread main_thread_;
};

}  // namespace ravelo::test
