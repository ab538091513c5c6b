#pragma once

#include <memory>

#include "platform/queued_main_thread.h"

namespace ravelo {

class TMainThreadWaker;

// The program's main thread on Qt: hand-overs are queued, and each one wakes
// the event loop through a queued invocation that runs them there. Only the
// wake crosses Qt's queue; the functions travel in TQueuedMainThread's own
// locked queue.
//
// Create it in the GUI thread after the QApplication, before any worker
// thread starts; it installs itself as the process-wide main thread and
// uninstalls itself when destroyed, which must happen after every worker
// thread has ended. Synchronize and Post may be called from any thread; the
// other operations in the GUI thread only.
class TQtMainThread : public IMainThread {
 public:
  TQtMainThread();
  ~TQtMainThread() override;
  TQtMainThread(const TQtMainThread&) = delete;
  TQtMainThread& operator=(const TQtMainThread&) = delete;

  void Synchronize(std::function<void()> fn) override;
  void Post(std::function<void()> fn) override;
  bool IsMainThread() const override;
  void ProcessPending() override;
  // Serves hand-overs and keeps the windows painted while it waits; user
  // input waits until the event loop runs again, so no action can start
  // while the program waits for a thread.
  bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) override;

 private:
  std::unique_ptr<TMainThreadWaker> waker_;  // lives in the GUI thread
  TQueuedMainThread queue_;
};

}  // namespace ravelo
