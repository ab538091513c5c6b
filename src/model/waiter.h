#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

namespace ravelo {

class IServer;
class TNode;

// One operation on one node, run in a thread of its own. A waiter is made by
// a node's starter and queued on the node; the queue owns it until it reaches
// the head, then its thread (started on resume) owns it and frees it when
// the thread function has returned.
//
// The thread function: ends at once (reporting nothing) when terminated
// before it starts; otherwise hands WaiterStarted to the main thread,
// performs the operation, and when that needs a server (ENoServer) asks the
// installed IServerAssigner for one, waits until it is granted, and
// performs once more; terminated while waiting, it does not perform again.
// Success hands over WaiterFinished; any exception, or termination
// meanwhile (ETerminated), WaiterFailed.
// Then the end handler runs (the server's bookkeeping), then node.WaiterDone,
// then the waiter is destroyed.
//
// Threads: SetServer, Terminate, SetEndHandler and the readers below may be
// called from any thread. mutex_ guards server_ and end_handler_; waiting_
// and terminated_ are atomics (written with mutex_ held, so that the wait
// for a server cannot miss a wake-up).
class TWaiter {
 public:
  explicit TWaiter(TNode& node);
  virtual ~TWaiter();
  TWaiter(const TWaiter&) = delete;
  TWaiter& operator=(const TWaiter&) = delete;

  // The node stays alive while the waiter is queued on it.
  TNode& Node() const { return node_; }
  // NoServer until a server grants itself.
  std::shared_ptr<IServer> Server() const;
  // Called by a server when it grants itself to this waiter; ends the wait.
  void SetServer(std::shared_ptr<IServer> server);
  bool WaitingForServer() const { return waiting_.load(); }

  // Asks the waiter to stop: one not yet started ends at once, one waiting
  // for a server stops waiting, a running operation has its result
  // discarded (reported as ETerminated, which the node does not show).
  void Terminate();
  bool Terminated() const { return terminated_.load(); }

  // Run once in the waiter's thread after its thread function returned and
  // before the node hears WaiterDone; a server queueing the waiter sets it to
  // drop the waiter and grant itself to the next one. It must not throw and
  // must not rely on anything but its own captures (capture a weak_ptr to
  // the server, not a raw pointer).
  void SetEndHandler(std::function<void()> handler);

  // The exception that ended the operation, once it failed.
  std::exception_ptr Error() const { return error_; }

  // The node's duplicate test compares waiters of the same class only.
  virtual bool SameAs(const TWaiter& other) const;

  // Waiters alive in the process (made and not yet destroyed). Tests pump
  // the main thread until it is 0 so that every waiter thread has let go.
  static int LiveCount();

 protected:
  // Runs the node's operation with Server().
  virtual void Perform() = 0;

 private:
  friend class TNode;

  // Starts the thread and hands it the waiter. On failure (no thread could
  // be made) throws and leaves waiter untouched.
  static void Resume(std::unique_ptr<TWaiter>& waiter);
  static void Run(std::unique_ptr<TWaiter> self);
  void Execute();
  void Fail(const std::exception_ptr& error);
  void WaitForServer();

  TNode& node_;
  std::exception_ptr error_;  // the waiter's own thread only

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::shared_ptr<IServer> server_;    // mutex_
  std::function<void()> end_handler_;  // mutex_
  std::atomic<bool> waiting_{false};
  std::atomic<bool> terminated_{false};
};

}  // namespace ravelo
