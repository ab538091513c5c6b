#pragma once

// A connection watcher that records what it hears. Header only; link
// ravelo_device.

#include <cstdint>
#include <exception>
#include <mutex>
#include <string>

#include "device/connection_watcher.h"
#include "net/ftp_exceptions.h"
#include "support/tree_doubles.h"

namespace ravelo::test {

// Records "connected", "connect failed: message" and the like, and the
// fingerprint of a refused certificate; any thread.
class TRecordingConnectionWatcher : public IConnectionWatcher {
 public:
  void Connected() override { log.Add("connected"); }
  void Disconnected() override { log.Add("disconnected"); }
  void ConnectFailed(const std::exception& error) override {
    if (const auto* refused = dynamic_cast<const EFtpCertificateRejected*>(&error)) {
      std::lock_guard lock(mutex_);
      refused_fingerprint_ = refused->Fingerprint();
    }
    log.Add(std::string("connect failed: ") + error.what());
  }
  void TransfersStarted(std::int64_t base) override {
    log.Add("transfers started " + std::to_string(base));
  }
  void TransfersEnded() override { log.Add("transfers ended"); }
  void WatchFailed(const std::string& message) override { log.Add("watch failed: " + message); }
  std::string RefusedFingerprint() const {
    std::lock_guard lock(mutex_);
    return refused_fingerprint_;
  }

  TEventLog log;

 private:
  mutable std::mutex mutex_;
  std::string refused_fingerprint_;  // mutex_
};

}  // namespace ravelo::test
