#include "platform/queued_main_thread.h"

#include <cstddef>
#include <exception>
#include <memory>
#include <stdexcept>

namespace ravelo {

namespace {
IMainThread* current_main_thread = nullptr;
}

IMainThread& MainThread() {
  if (current_main_thread == nullptr) throw std::logic_error("No main thread is installed");
  return *current_main_thread;
}

void SetMainThread(IMainThread* main_thread) {
  current_main_thread = main_thread;
}

TQueuedMainThread::TQueuedMainThread(std::function<void()> wake)
    : main_id_(std::this_thread::get_id()), wake_(std::move(wake)) {}

TQueuedMainThread::~TQueuedMainThread() = default;

bool TQueuedMainThread::IsMainThread() const {
  return std::this_thread::get_id() == main_id_;
}

void TQueuedMainThread::Enqueue(std::function<void()> fn) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(fn));
  }
  queued_.notify_all();
  if (wake_) wake_();
}

void TQueuedMainThread::Synchronize(std::function<void()> fn) {
  if (IsMainThread()) {
    fn();
    return;
  }
  // The waiting side owns the completion record; the main thread only touches
  // it while the waiter is blocked on it.
  struct Completion {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    std::exception_ptr error;
  };
  auto completion = std::make_shared<Completion>();
  Enqueue([fn = std::move(fn), completion] {
    std::exception_ptr error;
    try {
      fn();
    } catch (...) {
      error = std::current_exception();
    }
    std::lock_guard lock(completion->mutex);
    completion->error = std::move(error);
    completion->done = true;
    completion->cv.notify_all();
  });
  std::exception_ptr error;
  {
    std::unique_lock lock(completion->mutex);
    completion->cv.wait(lock, [&] { return completion->done; });
    // Take the exception out so that it is freed in this thread, not by
    // whichever thread drops the last reference to the completion.
    error = std::move(completion->error);
  }
  if (error) std::rethrow_exception(error);
}

void TQueuedMainThread::Post(std::function<void()> fn) {
  if (IsMainThread()) {
    try {
      fn();
    } catch (...) {
    }
    return;
  }
  Enqueue([fn = std::move(fn)] {
    try {
      fn();
    } catch (...) {
    }
  });
}

void TQueuedMainThread::ProcessPending() {
  // One function at a time, run outside the lock: a function that waits and
  // pumps (WaitUntil) must go on with the functions queued behind it, which
  // a batch taken out here would hide from it. Only as many as are pending
  // now, so that a busy worker cannot keep the loop here.
  std::size_t pending;
  {
    std::lock_guard lock(mutex_);
    pending = queue_.size();
  }
  for (; pending > 0; --pending) {
    std::function<void()> fn;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) return;
      fn = std::move(queue_.front());
      queue_.pop_front();
    }
    fn();
  }
}

bool TQueuedMainThread::WaitUntil(const std::function<bool()>& done,
                                  std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  // done() may turn true without a hand-over, so the wait is a short poll.
  constexpr auto kPoll = std::chrono::milliseconds(2);
  for (;;) {
    ProcessPending();
    if (done()) return true;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    std::unique_lock lock(mutex_);
    queued_.wait_until(lock, std::min(deadline, now + kPoll), [&] { return !queue_.empty(); });
  }
}

}  // namespace ravelo
