#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "net/ftp_exceptions.h"
#include "project/project.h"
#include "project/project_errors.h"
#include "project/project_stream.h"
#include "support/connection_watcher_double.h"
#include "support/ftp_test_server.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "support/test_main_loop.h"
#include "support/tree_doubles.h"
#include "sync/syn_file.h"
#include "sync/syn_folder.h"

namespace ravelo::test {
namespace {

using ::testing::HasSubstr;

// Projects against the real FTP server, whose "www" folder is the site; the
// test's thread is the main thread, and the local zone is not the server's
// (its LIST times are universal time).
class ProjectFtpTest : public ::testing::Test {
 protected:
  ~ProjectFtpTest() override {
    EXPECT_TRUE(WaitForWaiters(loop));
    project.reset();
  }

  std::unique_ptr<TFtpTestServer> StartFtp(TFtpTestServer::TTls tls = TFtpTestServer::kPlain,
                                           const std::string& hide = "") {
    TFtpTestServer::TOptions options;
    options.Tls = tls;
    options.Hide = hide;
    auto server = std::make_unique<TFtpTestServer>(options);
    server->Home().CreateDir("www");
    return server;
  }
  // Frees the open project (saving it first), then opens the file.
  void Reopen() {
    if (project) {
      ASSERT_TRUE(project->Save());
    }
    project.reset();
    project = TProject::CreateFromFile(file_name);
    project->Install();
  }
  // "connected", or "connect failed: " and the message.
  // The connect's outcome: "connected" or "connect failed: ..." (a late
  // "transfers ended" of the previous connection may come first).
  std::string Connect() {
    watcher->log.Clear();
    project->Device().SetWatcher(watcher);
    project->Device().Connect();
    std::string outcome;
    EXPECT_TRUE(loop.RunUntil([&] {
      for (const std::string& event : watcher->log.Events())
        if (event.starts_with("connect")) outcome = event;
      return !outcome.empty();
    }));
    EXPECT_TRUE(WaitForWaiters(loop));
    return outcome;
  }
  void Disconnect() {
    project->Device().Disconnect();
    ASSERT_TRUE(loop.RunUntil([&] { return !project->Device().IsConnected(); }));
    ASSERT_TRUE(WaitForWaiters(loop));
  }
  template <class Start>
  void Run(Start start) {
    start();
    ASSERT_TRUE(WaitForWaiters(loop));
  }
  TSynFile& File(const std::string& path) {
    TSynFolder* folder = &project->Root();
    std::size_t start = 0;
    for (std::size_t slash; (slash = path.find('/', start)) != std::string::npos; start = slash + 1)
      folder = folder->FolderByName(path.substr(start, slash - start)).Get();
    auto* file = dynamic_cast<TSynFile*>(folder->FindChild(path.substr(start)));
    if (file == nullptr) throw std::runtime_error("no file " + path);
    return *file;
  }
  // The file as a version before the settings after the two flags wrote
  // it: their bytes cut from the header block.
  void CutToOldFormat() {
    const std::string bytes = dir.ReadFile("site/site.rvlp");
    const TProjectHeader header = TProjectHeader::CreateFromFile(file_name);
    const std::size_t old_size = 4 * 4 + header.Host.size() + header.Login.size() +
                                 header.Password.size() + header.RemotePath.size() + 2;
    TProjectReader reader(bytes);
    const std::size_t block_size = static_cast<std::size_t>(reader.ReadInt32());
    TProjectWriter old;
    old.WriteInt32(static_cast<std::int32_t>(old_size));
    old.WriteBytes(std::string_view(bytes).substr(4, old_size));
    old.WriteBytes(std::string_view(bytes).substr(4 + block_size));
    dir.CreateFile("site/site.rvlp", old.Bytes());
  }

  TTestMainLoop loop;
  TTempDir dir;
  TScopedEnv config{"XDG_CONFIG_HOME", (dir / "config").string()};
  TScopedEnv zone{"TZ", "RVL-3"};  // three hours east of the server's LIST times
  const std::string file_name = (dir / "site/site.rvlp").string();
  std::shared_ptr<TRecordingConnectionWatcher> watcher =
      std::make_shared<TRecordingConnectionWatcher>();
  std::unique_ptr<TProject> project;
  // Whole minutes plus seconds, well past: exact times differ from LIST's.
  const std::time_t before = (std::time(nullptr) - 7200) / 60 * 60 + 17;
};

// Files synchronized under LIST by an older version keep their states when
// the project switches to exact times: with machine listings (their records
// become exact) and without (they stay LIST times).
TEST_F(ProjectFtpTest, AnOlderFileKeepsEveryStateAcrossTheSwitchToExactTimes) {
  for (const bool machine_listings : {false, true}) {
    SCOPED_TRACE(machine_listings ? "MLSD" : "LIST only");
    const auto ftp = StartFtp(TFtpTestServer::kPlain, machine_listings ? "" : "MLST");
    for (const char* path : {"www/same.txt", "www/edited.txt", "www/theirs.txt", "www/d/deep.txt"})
      ftp->Put(path, path, before);
    std::filesystem::remove_all(dir / "site");
    project = TProject::Create(ftp->HostPort(), TFtpTestServer::kUser, TFtpTestServer::kPassword,
                               "/www", file_name);
    // pyftpdlib may stop reading a control connection when two active data
    // connections come up at once (the device's servers run in parallel).
    project->SetDataMode(dmPassive);
    project->SetTlsMode(tmPlain);
    project->SetPreciseTimes(false);
    ASSERT_TRUE(project->Save());  // makes the local root
    project->Install();
    ASSERT_EQ(Connect(), "connected");
    Run([&] { project->Root().Synchronize(); });
    Disconnect();
    ASSERT_TRUE(project->Save());
    project.reset();
    CutToOldFormat();

    Reopen();
    EXPECT_EQ(project->DataMode(), dmActive);
    EXPECT_EQ(project->TlsMode(), tmPlain);
    EXPECT_FALSE(project->PreciseTimes());
    project->SetDataMode(dmPassive);
    EXPECT_EQ(File("d/deep.txt").Times().SyncedRemoteTime.Kind(), TTimeKind::Minute);
    project->SetPreciseTimes(true);
    dir.CreateFile("site/edited.txt", "my edit");
    ftp->Put("www/theirs.txt", "a colleague's", before + 120);
    ASSERT_EQ(Connect(), "connected");
    Run([&] { project->Root().FolderByName("d")->Open(); });
    const struct {
      const char* path;
      TNodeState state;
    } expected[] = {{"same.txt", nsSynchronized},
                    {"edited.txt", nsFresh},
                    {"theirs.txt", nsExpired},
                    {"d/deep.txt", nsSynchronized}};
    for (const auto& file : expected)
      EXPECT_EQ(File(file.path).GetState(), file.state) << file.path;
    const std::vector<std::string> log = ftp->Log();
    EXPECT_EQ(std::find(log.begin(), log.end(), "MLSD") != log.end(), machine_listings);

    // Synchronized again: every record is exact once read with MLSD.
    Run([&] { project->Root().Synchronize(); });
    Disconnect();
    Reopen();
    ASSERT_EQ(Connect(), "connected");
    Run([&] { project->Root().FolderByName("d")->Open(); });
    for (const auto& file : expected) {
      EXPECT_EQ(File(file.path).GetState(), nsSynchronized) << file.path;
      EXPECT_EQ(File(file.path).MinuteRecord(), !machine_listings) << file.path;
    }
    Disconnect();
    project.reset();
  }
}

// A certificate that does not verify is refused with its fingerprint until
// the project accepts it; another one is refused again; and a server of a
// project that once offered TLS is refused when it no longer does, before
// the password goes out.
TEST_F(ProjectFtpTest, CertificatesAreAcceptedPerProjectAndTlsIsNeverDroppedSilently) {
  const auto first = StartFtp(TFtpTestServer::kSelfSigned);
  project = TProject::Create(first->HostPort(), TFtpTestServer::kUser, TFtpTestServer::kPassword,
                             "/www", file_name);
  project->Install();
  const std::string refused = Connect();
  EXPECT_THAT(refused, HasSubstr("Server Certificate Not Trusted"));
  EXPECT_THAT(refused, HasSubstr(first->Fingerprint()));
  EXPECT_EQ(watcher->RefusedFingerprint(), first->Fingerprint());
  EXPECT_TRUE(project->TlsOffered());
  EXPECT_THROW(project->AcceptFingerprint("12:34"), EInvalidFingerprint);
  project->AcceptFingerprint(watcher->RefusedFingerprint());
  Reopen();  // kept in the file
  EXPECT_EQ(Connect(), "connected");
  EXPECT_TRUE(project->Device().Encrypted());
  Disconnect();

  const auto second = StartFtp(TFtpTestServer::kSelfSigned);
  project->SetHeader(second->HostPort(), TFtpTestServer::kUser, TFtpTestServer::kPassword, "/www");
  EXPECT_THAT(Connect(), HasSubstr("Server Certificate Changed Since It Was Accepted"));
  EXPECT_EQ(watcher->RefusedFingerprint(), second->Fingerprint());

  const auto plain = StartFtp();
  project->SetHeader(plain->HostPort(), TFtpTestServer::kUser, TFtpTestServer::kPassword, "/www");
  Reopen();
  EXPECT_EQ(Connect(),
            "connect failed: The Server Offered TLS Before, But No Longer Does: Connection "
            "Refused.");
  EXPECT_THAT(plain->Log(), ::testing::Not(::testing::Contains(HasSubstr("PASS"))));
  project->ForgetTlsOffered();
  EXPECT_EQ(Connect(), "connected");
  EXPECT_FALSE(project->Device().Encrypted());
}

}  // namespace
}  // namespace ravelo::test
