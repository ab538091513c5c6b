#include "device/connection_thread.h"

#include <chrono>
#include <stdexcept>

#include "platform/main_thread.h"

namespace ravelo {

void JoinServingHandOvers(std::thread& thread, const std::atomic<bool>& ended) {
  if (!thread.joinable()) return;
  try {
    IMainThread& main = MainThread();
    if (main.IsMainThread())
      while (!main.WaitUntil([&] { return ended.load(); }, std::chrono::seconds(1))) {
      }
  } catch (const std::logic_error&) {
    // No main thread installed: no hand-over can be waiting for one.
  }
  thread.join();
}

TConnectionThread::TConnectionThread(TWork work, TDone done)
    : work_(std::move(work)), done_(std::move(done)), thread_([this] { Run(); }) {}

TConnectionThread::~TConnectionThread() {
  JoinServingHandOvers(thread_, ended_);
}

void TConnectionThread::Run() {
  std::exception_ptr error;
  try {
    work_();
  } catch (...) {
    error = std::current_exception();
  }
  try {
    MainThread().Synchronize([&] { done_(error); });
  } catch (...) {
    // A failing handler has nobody to tell; the thread still ends.
  }
  ended_.store(true);
}

}  // namespace ravelo
