#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "shell/drop_feedback.h"
#include "shell/drop_walk.h"

namespace ravelo {

// Runs one drop's walk in a thread of its own, so that the window stays
// responsive and its Cancel button works during a long copy. The walk's
// feedback is handed to the main thread (IMainThread): the progress calls are
// posted without waiting, the replace question is asked there while the walk
// waits for the answer. At the end the outcome is posted to on_end.
//
// Threads: create, destroy and read Running in the main thread; Cancel from
// any thread. The window's feedback and on_end are called only in the main
// thread, and never after the job is destroyed.
class TDropJob {
 public:
  using TEndHandler = std::function<void(const TDropOutcome&)>;

  // Starts the walk at once. feedback must outlive the job.
  TDropJob(TDropRequest request, IDropFeedback& feedback, TEndHandler on_end);
  // Cancels (a pending replace question is answered Cancel without being
  // shown) and waits for the thread, serving the main thread's hand-overs
  // meanwhile. May be called from on_end.
  ~TDropJob();
  TDropJob(const TDropJob&) = delete;
  TDropJob& operator=(const TDropJob&) = delete;

  void Cancel() { walk_.Cancel(); }
  bool Running() const { return !finished_; }

 private:
  class TMainThreadFeedback;

  // Main thread only; shared with the hand-overs still queued, which check it
  // before touching the window.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  std::unique_ptr<TMainThreadFeedback> handover_;
  TDropWalk walk_;
  std::atomic<bool> finished_{false};
  std::thread thread_;
};

}  // namespace ravelo
