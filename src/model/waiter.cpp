#include "model/waiter.h"

#include <stdexcept>
#include <thread>

#include "model/node.h"
#include "model/server.h"
#include "model/server_assigner.h"
#include "model/tree_errors.h"
#include "platform/main_thread.h"

namespace ravelo {

namespace {
std::atomic<int> live_waiters{0};
}

TWaiter::TWaiter(TNode& node) : node_(node), server_(NoServer()) {
  live_waiters.fetch_add(1);
}

TWaiter::~TWaiter() {
  live_waiters.fetch_sub(1);
}

int TWaiter::LiveCount() {
  return live_waiters.load();
}

std::shared_ptr<IServer> TWaiter::Server() const {
  std::lock_guard lock(mutex_);
  return server_;
}

void TWaiter::SetServer(std::shared_ptr<IServer> server) {
  {
    std::lock_guard lock(mutex_);
    server_ = std::move(server);
    waiting_.store(false);
  }
  wake_.notify_all();
}

void TWaiter::Terminate() {
  {
    std::lock_guard lock(mutex_);
    terminated_.store(true);
  }
  wake_.notify_all();
}

void TWaiter::SetEndHandler(std::function<void()> handler) {
  std::lock_guard lock(mutex_);
  end_handler_ = std::move(handler);
}

bool TWaiter::SameAs(const TWaiter&) const {
  return true;
}

void TWaiter::Resume(std::unique_ptr<TWaiter>& waiter) {
  TWaiter* started = waiter.get();
  // The thread adopts the waiter; ownership leaves `waiter` only once the
  // thread exists, so a failure to start leaves it with the caller.
  std::thread thread([started] { Run(std::unique_ptr<TWaiter>(started)); });
  static_cast<void>(waiter.release());
  thread.detach();
}

void TWaiter::Run(std::unique_ptr<TWaiter> self) {
  self->Execute();
  std::function<void()> end_handler;
  {
    std::lock_guard lock(self->mutex_);
    end_handler.swap(self->end_handler_);
  }
  if (end_handler) {
    try {
      end_handler();
    } catch (...) {
    }
  }
  // The node may free itself in here; the waiter does not touch it again.
  self->node_.WaiterDone(*self);
}

void TWaiter::Execute() {
  try {
    if (Terminated()) throw ETerminated();
    MainThread().Synchronize([this] { node_.WaiterStarted(); });
    bool needs_server = false;
    try {
      Perform();
    } catch (const ENoServer&) {
      needs_server = true;
    }
    if (needs_server) {
      {
        std::lock_guard lock(mutex_);
        waiting_.store(true);
      }
      ServerAssigner().AssignServer(*this);
      WaitForServer();
      // Terminated while waiting (a disconnect, a closing project): it ends
      // as terminated, which the node does not show, rather than failing
      // with ENoServer on every node that was queued.
      if (Terminated()) throw ETerminated();
      Perform();
    }
    if (Terminated()) throw ETerminated();
    MainThread().Synchronize([this] { node_.WaiterFinished(*this); });
  } catch (...) {
    Fail(std::current_exception());
  }
}

void TWaiter::Fail(const std::exception_ptr& error) {
  error_ = error;
  try {
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& failure) {
      MainThread().Synchronize([this, &failure] { node_.WaiterFailed(*this, failure); });
    } catch (...) {
      const std::runtime_error failure("Unknown Error");
      MainThread().Synchronize([this, &failure] { node_.WaiterFailed(*this, failure); });
    }
  } catch (...) {
    // A failing report (a display that throws, no main thread) must not take
    // the process down with it; the waiter still ends normally.
  }
}

void TWaiter::WaitForServer() {
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [this] { return !waiting_.load() || terminated_.load(); });
}

}  // namespace ravelo
