#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/main_thread.h"

namespace ravelo {

// IMainThread over a queue of functions. The thread that creates it is the
// main thread. Whoever runs the main thread's loop calls ProcessPending when
// woken: the GUI from a queued Qt call made by the wake hook, tests by pumping.
class TQueuedMainThread : public IMainThread {
 public:
  // wake is called, in the handing thread, after each hand-over is queued; it
  // must not block. The GUI uses it to schedule ProcessPending in its loop.
  explicit TQueuedMainThread(std::function<void()> wake = {});
  ~TQueuedMainThread() override;
  TQueuedMainThread(const TQueuedMainThread&) = delete;
  TQueuedMainThread& operator=(const TQueuedMainThread&) = delete;

  void Synchronize(std::function<void()> fn) override;
  void Post(std::function<void()> fn) override;
  bool IsMainThread() const override;
  void ProcessPending() override;
  bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) override;

 private:
  void Enqueue(std::function<void()> fn);

  const std::thread::id main_id_;
  const std::function<void()> wake_;
  std::mutex mutex_;                // guards queue_
  std::condition_variable queued_;  // signalled when queue_ grows
  std::deque<std::function<void()>> queue_;
};

}  // namespace ravelo
