#pragma once

#include <QObject>

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

 public slots:
  void Wake();

 private:
  TQueuedMainThread& queue_;
};

}  // namespace ravelo
