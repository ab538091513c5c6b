#include "shell/drop_job.h"

#include <chrono>

#include "platform/main_thread.h"

namespace ravelo {

// Called in the walk's thread; hands every call to the window's feedback in
// the main thread.
class TDropJob::TMainThreadFeedback : public IDropFeedback {
 public:
  TMainThreadFeedback(IDropFeedback& window, std::shared_ptr<bool> alive, const TDropWalk& walk)
      : window_(window), alive_(std::move(alive)), walk_(walk) {}

  void Start(const std::string& caption, std::int64_t total) override {
    Post([caption, total](IDropFeedback& window) { window.Start(caption, total); });
  }
  void NextFile(const std::string& path) override {
    Post([path](IDropFeedback& window) { window.NextFile(path); });
  }
  void Advance(std::int64_t bytes) override {
    Post([bytes](IDropFeedback& window) { window.Advance(bytes); });
  }
  void Finish() override {
    Post([](IDropFeedback& window) { window.Finish(); });
  }
  TReplaceAnswer ConfirmReplace(const TReplaceFacts& facts) override {
    TReplaceAnswer answer = raCancel;
    MainThread().Synchronize([&] {
      if (*alive_ && !walk_.Cancelled()) answer = window_.ConfirmReplace(facts);
    });
    return answer;
  }

 private:
  void Post(std::function<void(IDropFeedback&)> call) {
    MainThread().Post([alive = alive_, &window = window_, call = std::move(call)] {
      if (*alive) call(window);
    });
  }

  IDropFeedback& window_;
  std::shared_ptr<bool> alive_;  // read in the main thread only
  const TDropWalk& walk_;
};

TDropJob::TDropJob(TDropRequest request, IDropFeedback& feedback, TEndHandler on_end)
    : handover_(std::make_unique<TMainThreadFeedback>(feedback, alive_, walk_)),
      walk_(std::move(request), *handover_) {
  thread_ = std::thread([this, on_end = std::move(on_end)] {
    const TDropOutcome outcome = walk_.Run();
    MainThread().Post([alive = alive_, on_end, outcome] {
      if (*alive) on_end(outcome);
    });
    finished_ = true;
  });
}

TDropJob::~TDropJob() {
  *alive_ = false;
  walk_.Cancel();
  while (!MainThread().WaitUntil([this] { return finished_.load(); }, std::chrono::seconds(1))) {
  }
  thread_.join();
}

}  // namespace ravelo
