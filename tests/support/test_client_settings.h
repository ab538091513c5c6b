#pragma once

// Client limits for tests: a hang fails in seconds, not minutes. Header
// only; link ravelo_sync.

#include <chrono>

#include "sync/server.h"

namespace ravelo::test {

inline TFtpSettings TestClientSettings() {
  TFtpSettings settings = TServer::DefaultClientSettings();
  settings.ConnectTimeout = settings.ReadTimeout = std::chrono::seconds(5);
  settings.AcceptTimeout = settings.TransferTimeout = std::chrono::seconds(5);
  return settings;
}

}  // namespace ravelo::test
