#include "device/keep_alive.h"

#include <algorithm>

namespace ravelo {

TKeepAlive::TKeepAlive(std::vector<std::shared_ptr<IServerControl>> servers,
                       std::chrono::milliseconds idle)
    : servers_(std::move(servers)),
      idle_(std::max(idle, std::chrono::milliseconds(1))),
      thread_([this] { Run(); }) {}

TKeepAlive::~TKeepAlive() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void TKeepAlive::Run() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    lock.unlock();
    auto next = std::chrono::steady_clock::now() + idle_;
    for (const auto& server : servers_) next = std::min(next, server->KeepAlive(idle_));
    lock.lock();
    wake_.wait_until(lock, next, [this] { return stopping_; });
  }
}

}  // namespace ravelo
