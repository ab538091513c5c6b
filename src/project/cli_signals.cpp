#include "project/cli_signals.h"

namespace ravelo {

TCliSignals::TCliSignals() {
  sigemptyset(&set_);
  sigaddset(&set_, SIGINT);
  sigaddset(&set_, SIGTERM);
  sigaddset(&set_, SIGPIPE);
  // The destructor wakes the thread with it.
  sigaddset(&set_, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &set_, nullptr);
  thread_ = std::thread([this] { Run(); });
}

TCliSignals::~TCliSignals() {
  ending_.store(true);
  pthread_kill(thread_.native_handle(), SIGUSR1);
  thread_.join();
}

void TCliSignals::Run() {
  for (;;) {
    int signal_number = 0;
    if (sigwait(&set_, &signal_number) != 0) continue;
    if (signal_number == SIGINT || signal_number == SIGTERM) count_.fetch_add(1);
    // A SIGUSR1 from outside is taken and dropped.
    if (signal_number == SIGUSR1 && ending_.load()) return;
  }
}

}  // namespace ravelo
