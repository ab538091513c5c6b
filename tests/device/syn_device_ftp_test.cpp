#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "device/syn_device.h"
#include "device_test_fixture.h"
#include "support/ftp_test_server.h"
#include "support/scripted_ftp_server.h"
#include "support/sync_project_double.h"
#include "support/temp_dir.h"
#include "support/test_client_settings.h"
#include "support/test_main_loop.h"
#include "support/tree_doubles.h"
#include "sync/syn_file.h"
#include "sync/syn_folder.h"

namespace ravelo::test {
namespace {

using ::testing::ElementsAre;

// The real device, its three servers and the tree against the real FTP
// server, whose "www" folder is the site. The device is the installed
// server assigner; the test's thread is the main thread.
class SynDeviceFtpTest : public ::testing::Test {
 protected:
  SynDeviceFtpTest() {
    root->SetDisplay(display);
    MakeDevice(TestClientSettings());
  }
  ~SynDeviceFtpTest() override {
    EXPECT_TRUE(WaitForWaiters(loop));
    device.reset();
    project.reset();
    TNode::ReleaseRoot(std::move(root));
  }

  // The device goes before the project, as when a project closes.
  void MakeDevice(const TFtpSettings& settings) {
    device.reset();
    project.reset();
    device = std::make_unique<TSynDevice>(*root, dir.PathString(), "site.rvlp", settings);
    project = std::make_unique<TTestProject>(dir.PathString(), *device);
    device->SetWatcher(watcher);
    SetServerAssigner(device.get());
  }
  // Starts the real server (rate: bytes a second on its data connections)
  // and aims the project at it.
  void StartFtp(long rate = 0) {
    TFtpTestServer::TOptions options;
    options.TransferRate = rate;
    ftp = std::make_unique<TFtpTestServer>(options);
    ftp->Home().CreateDir("www");
    project->SetSite({ftp->HostPort(), TFtpTestServer::kUser, TFtpTestServer::kPassword, "/www"});
  }
  // Connects and waits until the current folder has been opened.
  void Connect() {
    device->Connect();
    ASSERT_TRUE(loop.RunUntil([&] { return watcher->log.Count("connected") == 1; }));
    ASSERT_TRUE(WaitForWaiters(loop));
  }
  template <class Start>
  void Run(Start start) {
    start();
    ASSERT_TRUE(WaitForWaiters(loop));
  }
  // Serves the main thread until the watcher has handed everything on and
  // every operation that started has ended.
  bool Settled() {
    return loop.RunUntil(
        [&] { return device->FileWatcher().IsQuiet() && TWaiter::LiveCount() == 0; });
  }
  TSynFile& File(TSynFolder& folder, const std::string& name) {
    auto* file = dynamic_cast<TSynFile*>(folder.FindChild(name));
    if (file == nullptr) throw std::runtime_error("no file " + name);
    return *file;
  }
  int Failures() const {
    int failures = 0;
    for (const auto& event : display->log.Events()) failures += event.starts_with("failed") ? 1 : 0;
    return failures;
  }

  // Listings show minutes: the server's times are whole minutes, well past.
  const std::time_t before = (std::time(nullptr) - 7200) / 60 * 60;
  TTestMainLoop loop;
  TTempDir dir;
  std::unique_ptr<TFtpTestServer> ftp;
  std::unique_ptr<TSynFolder> root = std::make_unique<TSynFolder>(nullptr, "");
  std::shared_ptr<TRecordingDisplay> display = std::make_shared<TRecordingDisplay>();
  std::shared_ptr<TRecordingConnectionWatcher> watcher =
      std::make_shared<TRecordingConnectionWatcher>();
  std::unique_ptr<TSynDevice> device;
  std::unique_ptr<TTestProject> project;
};

TEST_F(SynDeviceFtpTest, EditsOnEitherSideShowAndTheShownFolderUploadsItsFreshFiles) {
  StartFtp();
  ftp->Put("www/index.html", "home", before);
  ftp->Put("www/docs/page.html", "first", before);
  dir.CreateFile("docs/local.html", "mine");
  dir.CreateDir("other");
  Connect();
  TSynFolder& docs = *root->FolderByName("docs");
  // The scan took the local files in before any listing of their folder.
  EXPECT_EQ(File(docs, "local.html").GetState(), nsFresh);
  EXPECT_TRUE(root->RemoteListed());  // the current folder was opened

  Run([&] { docs.Open(); });
  TSynFile& page = File(docs, "page.html");
  EXPECT_EQ(page.GetState(), nsNotCached);
  Run([&] { page.Open(); });
  EXPECT_EQ(page.GetState(), nsSynchronized);

  device->SetAutoUploadFresh(false);
  dir.CreateFile("docs/page.html", "my edit");
  ASSERT_TRUE(loop.RunUntil([&] { return page.GetState() == nsFresh; }));
  ASSERT_TRUE(Settled());
  EXPECT_EQ(ftp->LogCount("STOR"), 0);
  // A change in any watched folder sends the shown folder's fresh files.
  device->SetAutoUploadFresh(true);
  dir.CreateFile("other/note.txt", "x");
  ASSERT_TRUE(loop.RunUntil([&] { return page.GetState() == nsSynchronized; }));
  ASSERT_TRUE(Settled());
  EXPECT_EQ(ftp->Home().ReadFile("www/docs/page.html"), "my edit");
  EXPECT_EQ(ftp->LogCount("STOR"), 1);  // local.html is not on the server

  // Later than the upload, by whole minutes.
  ftp->Put("www/docs/page.html", "a colleague's edit", (std::time(nullptr) / 60 + 2) * 60);
  docs.ForgetRemoteListing();
  Run([&] { docs.Open(); });
  EXPECT_EQ(page.GetState(), nsExpired);
  dir.CreateFile("docs/page.html", "my second edit");
  ASSERT_TRUE(loop.RunUntil([&] { return page.GetState() == nsAmbiguous; }));
  ASSERT_TRUE(Settled());
  EXPECT_EQ(ftp->Home().ReadFile("www/docs/page.html"), "a colleague's edit");
  EXPECT_EQ(Failures(), 0);

  device->Disconnect();
  ASSERT_TRUE(loop.RunUntil([&] { return watcher->log.Count("disconnected") == 1; }));
  EXPECT_FALSE(device->IsConnected());
  ASSERT_TRUE(WaitForWaiters(loop));
  // Forgotten everywhere; the shown folder, opened again, is local only.
  EXPECT_EQ(File(*root, "index.html").RemotePresence(), prUnknown);
  EXPECT_EQ(page.RemotePresence(), prAbsent);
}

// A build tool cleans the shown folder and writes it again at once: the
// rebuilt files are merged and auto upload sends them.
TEST_F(SynDeviceFtpTest, AShownFolderMadeAgainUploadsWhatWasWrittenIntoIt) {
  StartFtp();
  ftp->Put("www/dist/app.js", "old build", before);
  Connect();
  TSynFolder& dist = *root->FolderByName("dist");
  Run([&] { dist.Open(); });
  Run([&] { File(dist, "app.js").Open(); });
  ASSERT_EQ(File(dist, "app.js").GetState(), nsSynchronized);
  device->SetAutoUploadFresh(true);

  std::filesystem::remove_all(dir / "dist");
  ASSERT_TRUE(loop.RunUntil([&] { return dist.LocalPresence() == prAbsent; }));
  dir.CreateFile("dist/app.js", "new build");
  ASSERT_TRUE(
      loop.RunUntil([&] { return ftp->Home().ReadFile("www/dist/app.js") == "new build"; }));
  ASSERT_TRUE(Settled());
  EXPECT_EQ(File(dist, "app.js").GetState(), nsSynchronized);
  EXPECT_EQ(Failures(), 0);
}

// Both copies of a file that was never synchronized are kept, however the
// upload is asked for, and the conflict dialog's three answers apply.
TEST_F(SynDeviceFtpTest, ANeverSynchronizedTwinIsNeverOverwritten) {
  StartFtp();
  const std::vector<std::string> names = {"a.txt", "b.txt", "c.txt"};
  for (const auto& name : names) dir.CreateFile(name, "local " + name);
  Connect();
  // The twins appear on the server after the listing; the local copies
  // are saved again with auto upload on.
  for (const auto& name : names) ftp->Put("www/" + name, "server " + name, before);
  for (const auto& name : names) dir.CreateFile(name, "saved " + name);
  ASSERT_TRUE(loop.RunUntil([&] { return device->FileWatcher().Reports() >= 1; }));
  ASSERT_TRUE(Settled());
  Run([&] {
    for (const auto& name : names) File(*root, name).Synchronize();
  });
  EXPECT_EQ(ftp->LogCount("STOR"), 0);
  EXPECT_EQ(Failures(), 3);
  for (const auto& name : names) {
    EXPECT_EQ(File(*root, name).GetState(), nsUnknown) << name;
    EXPECT_EQ(ftp->Home().ReadFile("www/" + name), "server " + name);
  }

  TSynFile& a = File(*root, "a.txt");
  TSynFile& b = File(*root, "b.txt");
  TSynFile& c = File(*root, "c.txt");
  Run([&] { a.ClearCache(true); });  // "Delete Local"
  b.MarkSynchronized();              // "Identical"
  b.Display()->NodeChanged(b);
  std::filesystem::rename(dir / "c.txt", dir / "c (local).txt");  // "Copy"
  ASSERT_TRUE(loop.RunUntil([&] { return root->FindChild("c (local).txt") != nullptr; }));
  ASSERT_TRUE(Settled());
  EXPECT_EQ(a.GetState(), nsNotCached);
  EXPECT_FALSE(dir.Exists("a.txt"));
  EXPECT_EQ(b.GetState(), nsSynchronized);
  EXPECT_EQ(c.GetState(), nsNotCached);
  EXPECT_EQ(File(*root, "c (local).txt").GetState(), nsFresh);
  EXPECT_EQ(ftp->LogCount("STOR"), 0);
}

// Passive data connections and FTP over TLS carry a listing, a download and
// an upload; the device tells whether its connection is encrypted.
TEST_F(SynDeviceFtpTest, PassiveModeAndTlsCarryEveryOperation) {
  const struct {
    TFtpTestServer::TTls tls;
    TFtpDataMode data_mode;
    TFtpTlsMode tls_mode;
    bool encrypted;
    const char* data_command;
  } rows[] = {
      {TFtpTestServer::kSelfSigned, dmPassive, tmRequire, true, "EPSV"},
      {TFtpTestServer::kSelfSigned, dmActive, tmIfOffered, true, "PORT"},
      {TFtpTestServer::kPlain, dmAutomatic, tmIfOffered, false, "EPSV"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.data_command + std::string(row.encrypted ? " over TLS" : " plain"));
    TFtpTestServer::TOptions options;
    options.Tls = row.tls;
    ftp = std::make_unique<TFtpTestServer>(options);
    ftp->Put("www/page.html", "remote page", before);
    dir.CreateFile("docs/new.html", "my page");
    MakeDevice(TestClientSettings());
    TSiteSettings site{ftp->HostPort(), TFtpTestServer::kUser, TFtpTestServer::kPassword, "/www"};
    site.DataMode = row.data_mode;
    site.TlsMode = row.tls_mode;
    site.AcceptedFingerprint = ftp->Fingerprint();
    project->SetSite(site);
    Connect();
    EXPECT_EQ(device->Encrypted(), row.encrypted);
    TSynFile& page = File(*root, "page.html");
    Run([&] { page.Open(); });
    EXPECT_EQ(dir.ReadFile("page.html"), "remote page");
    Run([&] { root->FolderByName("docs")->Synchronize(); });
    EXPECT_EQ(ftp->Home().ReadFile("www/docs/new.html"), "my page");
    EXPECT_EQ(Failures(), 0);
    EXPECT_EQ(ftp->LogCount("PROT P") > 0, row.encrypted);
    // Every data connection opened the row's way.
    EXPECT_EQ(ftp->LogCount(row.data_command),
              ftp->LogCount("LIST") + ftp->LogCount("RETR") + ftp->LogCount("STOR"));
    device->Disconnect();
    ASSERT_TRUE(loop.RunUntil([&] { return !device->IsConnected(); }));
    ASSERT_TRUE(WaitForWaiters(loop));
    std::filesystem::remove_all(dir / "docs");
    std::filesystem::remove(dir / "page.html");
    ASSERT_TRUE(loop.RunUntil([&] { return !root->FindChild("docs"); }));
    watcher->log.Clear();
  }
}

TEST_F(SynDeviceFtpTest, AConnectThatFailsSaysWhyAndOpensNothing) {
  StartFtp();
  TScriptedFtpServer silent;  // accepts the connection, never answers
  silent.Stall().Start();
  TFtpSettings short_limits = TestClientSettings();
  short_limits.ReadTimeout = std::chrono::milliseconds(300);
  MakeDevice(short_limits);
  const struct {
    TSiteSettings site;
    const char* reported;
  } cases[] = {
      {{ftp->HostPort(), TFtpTestServer::kUser, "wrong", "/www"},
       "connect failed: Authentication failed.\n"},
      {{silent.HostPort(), "user", "password", "/www"}, "connect failed: Connection Timed Out."},
  };
  for (const auto& c : cases) {
    watcher->log.Clear();
    project->SetSite(c.site);
    device->Connect();
    ASSERT_TRUE(loop.RunUntil([&] { return watcher->log.Size() == 1; }));
    EXPECT_THAT(watcher->log.Events(), ElementsAre(c.reported));
    EXPECT_FALSE(device->IsConnected());
    EXPECT_FALSE(root->RemoteListed());
    EXPECT_EQ(TWaiter::LiveCount(), 0);  // the current folder was not opened
  }
}

// Transfers go to the transfer server of their type (connecting on first
// use), everything else to the general server; the watcher hears of each
// batch once, and the progress total never falls behind the position.
TEST_F(SynDeviceFtpTest, TransfersAreRoutedByTypeAndCountedPerBatch) {
  StartFtp(256 * 1024);
  constexpr std::int64_t kSize = 48 * 1024;
  const std::string content(kSize, 'x');
  for (const char* name : {"www/a.txt", "www/b.zzz", "www/old.txt", "www/x.zzz"})
    ftp->Put(name, content, before);
  ftp->Put("www/c.zzz", "short", before);
  ftp->Home().CreateDir("www/sub");
  Connect();
  Run([&] {
    File(*root, "old.txt").Delete();
    File(*root, "x.zzz").Rename("y.zzz");
    root->FolderByName("sub")->Open();
  });
  EXPECT_EQ(Failures(), 0);
  EXPECT_EQ(ftp->LogCount("USER"), 1);  // the general server's connection only

  watcher->log.Clear();
  Run([&] {
    File(*root, "a.txt").Synchronize();
    File(*root, "b.zzz").Synchronize();
  });
  EXPECT_THAT(watcher->log.Events(), ElementsAre("transfers ended", "transfers started 0"));
  EXPECT_EQ(device->AsciiServer().GetTransferred(), kSize);
  EXPECT_EQ(device->BinaryServer().GetTransferred(), kSize);
  EXPECT_EQ(ftp->LogCount("USER"), 3);

  // Listed short, larger now: the position overtakes the expected total.
  ftp->Put("www/c.zzz", content, before);
  watcher->log.Clear();
  File(*root, "c.zzz").Synchronize();
  std::int64_t last_total = 0;
  bool total_fell = false;
  ASSERT_TRUE(loop.RunUntil([&] {
    const TTransferProgress progress = device->GetProgress();
    total_fell |= progress.Total < last_total || progress.Total < progress.Position;
    last_total = progress.Total;
    return TWaiter::LiveCount() == 0;
  }));
  EXPECT_FALSE(total_fell);
  EXPECT_EQ(device->GetProgress().Total, 3 * kSize);
  EXPECT_EQ(watcher->log.Count("transfers started " + std::to_string(2 * kSize)), 1);
}

TEST_F(SynDeviceFtpTest, ADisconnectEndsQueuedTransfersWithoutErrors) {
  StartFtp(64 * 1024);
  const std::vector<std::string> names = {"1.zzz", "2.zzz", "3.zzz"};
  for (const auto& name : names) ftp->Put("www/" + name, std::string(64 * 1024, 'x'), before);
  Connect();
  for (const auto& name : names) File(*root, name).Synchronize();
  ASSERT_TRUE(loop.RunUntil([&] { return device->BinaryServer().GetTransferred() > 0; }));
  device->Disconnect();
  ASSERT_TRUE(loop.RunUntil([&] { return watcher->log.Count("disconnected") == 1; }));
  ASSERT_TRUE(WaitForWaiters(loop));
  EXPECT_EQ(Failures(), 0);
  for (const auto& name : names) EXPECT_FALSE(dir.Exists(name)) << name;
}

// Its connect or disconnect thread never reaches a destroyed device, and the
// watcher hears nothing from it once the device is going.
TEST_F(SynDeviceFtpTest, TheDeviceGoesWhileItsConnectionThreadsRun) {
  StartFtp();
  Connect();
  device->Disconnect();
  TScriptedFtpServer silent;
  silent.Stall().Start();
  MakeDevice(TestClientSettings());
  project->SetSite({silent.HostPort(), "user", "password", "/www"});
  device->Connect();
  device.reset();
  loop.ProcessPending();
  EXPECT_THAT(watcher->log.Events(), ElementsAre("connected"));
}

}  // namespace
}  // namespace ravelo::test
