#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "sync/server_control.h"

namespace ravelo {

// Keeps idle server connections from the servers' idle limits: a thread of
// its own asks each server to send NOOP (IServerControl::KeepAlive) as soon
// as its connection has been idle for `idle`, sleeping until the next one
// is due. Never the main thread, which must not wait for a server.
//
// Threads: made and destroyed by the device in the main thread; the
// destructor wakes the thread and joins it (the device disconnects its
// servers first, so that no NOOP is left waiting for an answer). mutex_
// guards stopping_.
class TKeepAlive {
 public:
  TKeepAlive(std::vector<std::shared_ptr<IServerControl>> servers, std::chrono::milliseconds idle);
  ~TKeepAlive();
  TKeepAlive(const TKeepAlive&) = delete;
  TKeepAlive& operator=(const TKeepAlive&) = delete;

 private:
  void Run();

  const std::vector<std::shared_ptr<IServerControl>> servers_;
  const std::chrono::milliseconds idle_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;  // mutex_
  std::thread thread_;     // last: starts when everything else is ready
};

}  // namespace ravelo
