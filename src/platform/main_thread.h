#pragma once

#include <chrono>
#include <functional>

namespace ravelo {

// The hand-over to the main (user-interface) thread. Worker threads never touch
// the display or the tree's counters directly; they hand a function to the
// main thread and wait until it has run there.
class IMainThread {
 public:
  virtual ~IMainThread() = default;

  // Runs fn in the main thread and returns when it has run. Called from the
  // main thread it runs fn at once. An exception thrown by fn is rethrown here.
  virtual void Synchronize(std::function<void()> fn) = 0;
  // Queues fn to run in the main thread and returns at once; from the main
  // thread it runs fn at once as well. Exceptions of fn are swallowed.
  virtual void Post(std::function<void()> fn) = 0;
  // True when the calling thread is the main thread.
  virtual bool IsMainThread() const = 0;
  // Main thread only: runs the hand-overs pending now.
  virtual void ProcessPending() = 0;
  // Main thread only: serves hand-overs until done() is true or the timeout
  // has run out; answers done(). Every wait of the main thread for another
  // thread goes through here, or the two threads could deadlock.
  virtual bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) = 0;
};

// The process-wide main thread. Installed by the program at start-up (or by a
// test fixture) before any worker thread exists; not owned here.
IMainThread& MainThread();
void SetMainThread(IMainThread* main_thread);

}  // namespace ravelo
