#include "ui/qt_main_thread.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <algorithm>

#include "ui/main_thread_waker.h"

namespace ravelo {

void TMainThreadWaker::Post() {
  const std::lock_guard lock(posting_);
  QMetaObject::invokeMethod(this, "Wake", Qt::QueuedConnection);
}

void TMainThreadWaker::Wake() {
  { const std::lock_guard lock(posting_); }
  queue_.ProcessPending();
}

TQtMainThread::TQtMainThread()
    : waker_(std::make_unique<TMainThreadWaker>(queue_)),
      queue_([waker = waker_.get()] { waker->Post(); }) {
  SetMainThread(this);
}

TQtMainThread::~TQtMainThread() {
  SetMainThread(nullptr);
}

void TQtMainThread::Synchronize(std::function<void()> fn) {
  queue_.Synchronize(std::move(fn));
}

void TQtMainThread::Post(std::function<void()> fn) {
  queue_.Post(std::move(fn));
}

bool TQtMainThread::IsMainThread() const {
  return queue_.IsMainThread();
}

void TQtMainThread::ProcessPending() {
  queue_.ProcessPending();
}

bool TQtMainThread::WaitUntil(const std::function<bool()>& done,
                              std::chrono::milliseconds timeout) {
  // Between slices the windows repaint; within one the queue's own wait
  // serves hand-overs as they come.
  constexpr auto kSlice = std::chrono::milliseconds(10);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (queue_.WaitUntil(done, std::clamp(left, std::chrono::milliseconds(0), kSlice))) return true;
    if (left <= kSlice) return done();
  }
}

}  // namespace ravelo
