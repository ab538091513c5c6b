#include "support/test_main_loop.h"

namespace ravelo::test {

TTestMainLoop::TTestMainLoop() {
  SetMainThread(&main_thread_);
}

TTestMainLoop::~TTestMainLoop() {
  main_thread_.ProcessPending();
  SetMainThread(nullptr);
}

bool TTestMainLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  return main_thread_.WaitUntil(done, timeout);
}

void TTestMainLoop::RunFor(std::chrono::milliseconds duration) {
  main_thread_.WaitUntil([] { return false; }, duration);
}

}  // namespace ravelo::test
