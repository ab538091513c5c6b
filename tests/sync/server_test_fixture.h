#pragma once

// The sync project of TSyncTest with real servers instead of the double: a
// sticky server (connecting at once) that every waiter is queued on, and the
// real FTP server the test starts, whose site folder is "www". Link
// ravelo_device.

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/server_assigner.h"
#include "model/waiter.h"
#include "support/ftp_test_server.h"
#include "support/test_client_settings.h"
#include "sync/download_temp_file.h"
#include "sync/server_control.h"
#include "sync/sticky_server.h"
#include "sync_test_fixture.h"

namespace ravelo::test {

// Queues each waiter that asks for a server on the server choose names, as
// the device will; installed for its lifetime.
class TQueueingAssigner : public IServerAssigner {
 public:
  explicit TQueueingAssigner(std::function<IServerControl&(TWaiter&)> choose)
      : choose_(std::move(choose)) {
    SetServerAssigner(this);
  }
  ~TQueueingAssigner() override { SetServerAssigner(nullptr); }
  TQueueingAssigner(const TQueueingAssigner&) = delete;
  TQueueingAssigner& operator=(const TQueueingAssigner&) = delete;

  void AssignServer(TWaiter& waiter) override { choose_(waiter).Enqueue(waiter); }

 private:
  std::function<IServerControl&(TWaiter&)> choose_;
};

class TServerTest : public TSyncTest {
 protected:
  // Starts the real server (transfer_rate: its bytes per second), aims
  // the project at a folder of its home and connects the sticky server.
  void StartFtp(long transfer_rate = 0, const std::string& remote_path = "/www") {
    TFtpTestServer::TOptions options;
    options.TransferRate = transfer_rate;
    ftp = std::make_unique<TFtpTestServer>(options);
    ftp->Home().CreateDir("www");
    TSiteSettings site{ftp->HostPort(), TFtpTestServer::kUser, TFtpTestServer::kPassword,
                       remote_path};
    site.PreciseTimes = precise_times;
    project.SetSite(site);
    server->Connect();
  }
  static std::string Content(std::size_t size) {
    std::string content(size, '\0');
    for (std::size_t i = 0; i < size; ++i) content[i] = static_cast<char>('a' + i % 26);
    return content;
  }
  // Names in the local root that a download left behind.
  std::vector<std::string> TempFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(site))
      if (IsDownloadTempName(entry.path().filename().string()))
        names.push_back(entry.path().string());
    return names;
  }
  // Whether the server's log holds these lines one after the other.
  bool Logged(const std::vector<std::string>& run) const {
    const std::vector<std::string> log = ftp->Log();
    return std::search(log.begin(), log.end(), run.begin(), run.end()) != log.end();
  }

  // The site's time rule for StartFtp: MLSD where the server offers it.
  bool precise_times = false;
  std::unique_ptr<TFtpTestServer> ftp;
  const std::shared_ptr<TStickyServer> server =
      std::make_shared<TStickyServer>(true, TestClientSettings());
  TQueueingAssigner queueing{[this](TWaiter&) -> IServerControl& { return *server; }};
};

}  // namespace ravelo::test
