#pragma once

#include <atomic>
#include <functional>
#include <iosfwd>
#include <memory>

#include "device/file_watcher.h"
#include "net/ftp_client.h"
#include "platform/launcher.h"
#include "sync/server.h"

namespace ravelo {

// What ravelo-cli is given by its process: its two output streams, the
// environment, and the signals received. Tests give their own.
struct TCliEnvironment {
  TCliEnvironment(std::ostream& out, std::ostream& err) : Out(out), Err(err) {}

  std::ostream& Out;
  std::ostream& Err;
  // Looks an environment variable up (RAVELO_PASSWORD); none: none is set.
  std::function<const char*(const char* name)> GetEnv;
  // Standard error is a terminal: long transfers show a progress line.
  bool ProgressLine = false;
  TFtpSettings Client = TServer::DefaultClientSettings();
  TWatchOptions Watch;
  // Opens local copies; none: a TSpawnLauncher.
  std::function<std::unique_ptr<ILauncher>()> MakeLauncher;
  // How many SIGINT and SIGTERM the process has received; none: never.
  // Read in the main thread, which notices a change within a quarter second.
  const std::atomic<int>* Signals = nullptr;
};

}  // namespace ravelo
