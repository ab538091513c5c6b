#pragma once

#include <QObject>

#include <mutex>

namespace ravelo {

class TQueuedMainThread;

// Receives TQtMainThread's wakes in the GUI thread and runs the hand-overs
// pending then. Invoked by name ("Wake"), so that nothing of ours is
// allocated in one thread and freed in the other through Qt's queue.
class TMainThreadWaker : public QObject {
  Q_OBJECT

 public:
  // queue outlives the waker.
  explicit TMainThreadWaker(TQueuedMainThread& queue) : queue_(queue) {}

  // Any thread: queues a Wake in the GUI thread.
  void Post();

 public slots:
  void Wake();

 private:
  TQueuedMainThread& queue_;
  // Held while a wake is posted and taken when it arrives. Qt's event queue
  // locks without pthreads, out of ThreadSanitizer's sight; this lock shows
  // it that Qt's event is made before the GUI thread frees it.
  std::mutex posting_;
};

}  // namespace ravelo
