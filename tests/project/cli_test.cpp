// ravelo-cli in-process: the real project, device, servers and tree against
// the real FTP server, the test's thread the main thread.
#include "project/cli.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/ftp_test_server.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "support/test_client_settings.h"
#include "support/test_main_loop.h"

namespace ravelo::test {
namespace {

namespace fs = std::filesystem;

struct TRun {
  int Status;
  std::string Out;
  std::string Err;
};

class CliTest : public ::testing::Test {
 protected:
  explicit CliTest(long rate = 0) {
    TFtpTestServer::TOptions options;
    options.TransferRate = rate;
    ftp = std::make_unique<TFtpTestServer>(options);
    ftp->Home().CreateDir("www");
  }

  TRun Run(std::vector<std::string> arguments, bool progress_line = false) {
    std::ostringstream out;
    std::ostringstream err;
    TCliEnvironment environment(out, err);
    environment.Client = TestClientSettings();
    // pyftpdlib may stop reading a control connection when two active data
    // connections come up at once (the device's servers run in parallel).
    environment.Client.DataMode = dmPassive;
    environment.ProgressLine = progress_line;
    environment.GetEnv = [this](const std::string& name) -> const char* {
      return name == "RAVELO_PASSWORD" ? password.c_str() : nullptr;
    };
    const int status = RunCli(arguments, environment);
    return {status, out.str(), err.str()};
  }
  // Runs a command on the project: PROJECT follows the command's name.
  TRun On(const std::string& command, std::vector<std::string> more = {}) {
    more.insert(more.begin(), {command, project});
    return Run(more);
  }
  // The server is plain: "Plain FTP", so that nothing says so.
  void New(const std::string& host = "", const std::string& tls = "--tls=off") {
    ASSERT_EQ(Run({"new", project, "--host", host.empty() ? ftp->HostPort() : host, "--login",
                   TFtpTestServer::kUser, "--remote", "www", tls})
                  .Status,
              0);
  }
  // Listings may show minutes only: the server's times are whole minutes,
  // well past, later by minutes for each edit.
  void PutRemote(const std::string& path, const std::string& content, int minute) {
    ftp->Put("www/" + path, content, before + minute * 60);
  }
  // A local edit: the content, a time ten seconds past the copy's.
  void EditLocal(const std::string& path, const std::string& content) {
    const fs::path file = dir / ("site/" + path);
    const auto time = fs::last_write_time(file) + std::chrono::seconds(10);
    dir.CreateFile("site/" + path, content);
    fs::last_write_time(file, time);
  }
  std::string Local(const std::string& path) const { return dir.ReadFile("site/" + path); }
  std::string Remote(const std::string& path) const { return ftp->Home().ReadFile("www/" + path); }

  const std::time_t before = (std::time(nullptr) - 7200) / 60 * 60;
  std::string password = TFtpTestServer::kPassword;
  TTestMainLoop loop;
  TTempDir dir;
  TScopedEnv config{"XDG_CONFIG_HOME", (dir / "config").string()};
  std::unique_ptr<TFtpTestServer> ftp;
  const std::string project = (dir / "site/site.rvlp").string();
};

TEST_F(CliTest, FromNewThroughEditsOnBothSidesToEachResolution) {
  PutRemote("index.html", "home", 0);
  for (const char* name : {"a.html", "b.html", "c.html"})
    PutRemote(std::string("docs/") + name, name, 0);
  New();
  EXPECT_EQ(On("status", {"-r"}).Out,
            "Not Cached\tdocs/\nNot Cached\tdocs/a.html\nNot Cached\tdocs/b.html\n"
            "Not Cached\tdocs/c.html\nNot Cached\tindex.html\n");

  TRun run = On("sync", {"."});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out, "Synchronized\t./\n");
  EXPECT_EQ(run.Err, "");
  EXPECT_EQ(On("status", {"-r"}).Out,
            "Synchronized\tdocs/\nSynchronized\tdocs/a.html\nSynchronized\tdocs/b.html\n"
            "Synchronized\tdocs/c.html\nSynchronized\tindex.html\n");
  EXPECT_EQ(Local("index.html"), "home");
  EXPECT_EQ(Local("docs/b.html"), "b.html");

  EditLocal("index.html", "home, edited");
  EXPECT_EQ(On("status", {"index.html"}).Out, "Fresh\tindex.html\n");
  run = On("upload-fresh");
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out, "UPLOADED\tindex.html\n");
  EXPECT_EQ(Remote("index.html"), "home, edited");
  EXPECT_EQ(On("status", {"index.html"}).Out, "Synchronized\tindex.html\n");

  PutRemote("docs/a.html", "a, from the server", 5);
  EXPECT_EQ(On("status", {"docs/a.html"}).Out, "Expired\tdocs/a.html\n");
  EXPECT_EQ(On("sync", {"docs/a.html"}).Out, "Synchronized\tdocs/a.html\n");
  EXPECT_EQ(Local("docs/a.html"), "a, from the server");

  for (const char* name : {"a.html", "b.html", "c.html"}) {
    PutRemote(std::string("docs/") + name, "theirs", 10);
    EditLocal(std::string("docs/") + name, "mine");
  }
  EXPECT_EQ(On("status", {"docs"}).Out,
            "Ambigous\tdocs/a.html\nAmbigous\tdocs/b.html\nAmbigous\tdocs/c.html\n");
  run = On("sync", {"docs/a.html"});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Out, "Ambigous\tdocs/a.html\n");
  EXPECT_EQ(run.Err, "ERROR\tdocs/a.html\tCannot Synchronize In State Ambigous\n");

  EXPECT_EQ(On("resolve", {"docs/a.html", "--delete-local"}).Status, 0);
  EXPECT_EQ(On("resolve", {"docs/b.html", "--identical"}).Status, 0);
  EXPECT_EQ(On("resolve", {"docs/c.html", "--copy"}).Status, 0);
  EXPECT_EQ(On("status", {"docs"}).Out,
            "Not Cached\tdocs/a.html\nSynchronized\tdocs/b.html\nFresh\tdocs/c (local).html\n"
            "Not Cached\tdocs/c.html\n");
  EXPECT_EQ(Local("docs/c (local).html"), "mine");
  EXPECT_EQ(Remote("docs/b.html"), "theirs");  // identical: nothing moved
  run = On("resolve", {"docs/b.html", "--copy"});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Err, "ERROR\tdocs/b.html\tCannot Resolve In State Synchronized\n");
}

TEST_F(CliTest, CreateRenameClearAndDeleteAsTheWindowsActions) {
  PutRemote("index.html", "home", 0);
  New();
  EXPECT_EQ(On("mkdir", {"new"}).Status, 0);
  EXPECT_EQ(On("touch", {"new/page.html"}).Status, 0);
  EXPECT_TRUE(fs::is_directory(dir / "site/new"));
  EXPECT_EQ(On("status", {"-r"}).Out,
            "Fresh\tnew/\nFresh\tnew/page.html\nNot Cached\tindex.html\n");
  EXPECT_EQ(On("clear-cache", {"new"}).Status, 1);  // an edit not uploaded is kept
  EXPECT_TRUE(dir.Exists("site/new/page.html"));
  const TRun taken = On("touch", {"INDEX.html"});
  EXPECT_EQ(taken.Status, 1);
  EXPECT_EQ(taken.Err, "ERROR\tINDEX.html\tNode Already Exists\n");

  EXPECT_EQ(On("upload-fresh", {"new"}).Out, "UPLOADED\tnew/page.html\n");
  EXPECT_TRUE(ftp->Home().Exists("www/new/page.html"));
  EXPECT_EQ(On("rename", {"new/page.html", "main.html"}).Status, 0);
  EXPECT_TRUE(ftp->Home().Exists("www/new/main.html"));
  EXPECT_TRUE(dir.Exists("site/new/main.html"));
  EXPECT_EQ(On("clear-cache", {"new/main.html"}).Status, 0);
  EXPECT_EQ(On("status", {"new"}).Out, "Not Cached\tnew/main.html\n");
  EXPECT_EQ(On("delete", {"new", "index.html"}).Status, 0);
  EXPECT_FALSE(ftp->Home().Exists("www/new"));
  EXPECT_FALSE(ftp->Home().Exists("www/index.html"));
  EXPECT_FALSE(dir.Exists("site/new"));
  EXPECT_EQ(On("status").Out, "");
  // The window's flags as they were, although the commands ran with the
  // device's "Auto Upload Fresh" off.
  EXPECT_NE(Run({"show", project}).Out.find("auto-upload-fresh: yes\nconnected: yes\n"),
            std::string::npos);
}

TEST_F(CliTest, UnknownPathsDoNothingAndExitTwo) {
  PutRemote("index.html", "home", 0);
  New();
  const struct {
    std::vector<std::string> arguments;
    std::string err;
  } cases[] = {
      {{"delete", "index.html", "nosuch.html"},
       "ERROR\tnosuch.html\tNo File Or Folder With The Name \"nosuch.html\" Found\n"},
      {{"status", "index.html/x"},
       "ERROR\tindex.html/x\tNo Folder With The Name \"index.html\" Found\n"},
      {{"touch", "no/x"}, "ERROR\tno/x\tNo Folder With The Name \"no\" Found\n"},
  };
  for (const auto& c : cases) {
    const TRun run = On(c.arguments.front(), {c.arguments.begin() + 1, c.arguments.end()});
    EXPECT_EQ(run.Status, 2);
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(run.Err, c.err);
  }
  EXPECT_TRUE(ftp->Home().Exists("www/index.html"));
}

TEST_F(CliTest, NewShowAndProjectsThatCannotBeUsed) {
  password = "not the password";
  New();
  EXPECT_TRUE(fs::is_directory(dir / "site"));
  EXPECT_EQ(fs::status(project).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(Run({"show", project}).Out, "host: " + ftp->HostPort() +
                                            "\nlogin: " + TFtpTestServer::kUser +
                                            "\nremote: /www\nauto-upload-fresh: yes\n"
                                            "connected: yes\ndata-mode: auto\ntls: off\n"
                                            "tls-fingerprint: none\n");

  // A refused login: the server's answer, exit 1.
  TRun run = On("status");
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Out, "");
  EXPECT_TRUE(run.Err.starts_with("ravelo-cli: connecting to " + ftp->HostPort() + ": "))
      << run.Err;

  // Never overwritten.
  const std::string bytes = dir.ReadFile("site/site.rvlp");
  run = Run({"new", project, "--host", "elsewhere"});
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(dir.ReadFile("site/site.rvlp"), bytes);

  // Damaged or missing: exit 2.
  dir.CreateFile("site/site.rvlp", bytes.substr(0, bytes.size() - 3));
  run = On("status");
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Err, "ravelo-cli: " + project + ": End Of Stream Reached Unexpectedly\n");
  EXPECT_EQ(Run({"show", project}).Status, 2);
  EXPECT_EQ(Run({"status", (dir / "none.rvlp").string()}).Status, 2);
}

// A certificate that does not verify is refused with its fingerprint and
// the way to trust it; trusted, it works; a plain connection under "Use TLS
// if offered" is said once.
TEST_F(CliTest, CertificatesAreTrustedByFingerprintAndAPlainConnectionIsSaid) {
  TFtpTestServer::TOptions options;
  options.Tls = TFtpTestServer::kSelfSigned;
  const TFtpTestServer tls(options);
  tls.Home().CreateFile("www/index.html", "home");
  New(tls.HostPort(), "--passive");
  TRun run = On("status");
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("Server Certificate Not Trusted"), std::string::npos) << run.Err;
  EXPECT_TRUE(run.Err.ends_with("ravelo-cli: to accept this certificate: ravelo-cli trust " +
                                project + " " + tls.Fingerprint() + "\n"))
      << run.Err;
  EXPECT_EQ(On("trust", {"12:34"}).Status, 2);
  EXPECT_EQ(On("trust", {tls.Fingerprint()}).Status, 0);
  EXPECT_NE(
      Run({"show", project})
          .Out.find("data-mode: passive\ntls: try\ntls-fingerprint: " + tls.Fingerprint() + "\n"),
      std::string::npos);
  run = On("status");
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out, "Not Cached\tindex.html\n");
  EXPECT_EQ(run.Err, "");

  fs::remove(project);
  New(ftp->HostPort(), "--tls=try");
  run = On("status");
  EXPECT_EQ(run.Status, 0);
  EXPECT_EQ(run.Err, "ravelo-cli: plain connection: the server does not offer TLS\n");
}

// Paced transfers, so that one lasts past the first progress tick.
class CliProgressTest : public CliTest {
 protected:
  CliProgressTest() : CliTest(40 * 1024) {}
};

TEST_F(CliProgressTest, ALongTransferShowsAProgressLineOnTheTerminalOnly) {
  PutRemote("big.bin", std::string(24 * 1024, 'x'), 0);
  New();
  const TRun run = Run({"sync", project, "big.bin"}, /*progress_line=*/true);
  EXPECT_EQ(run.Status, 0);
  EXPECT_EQ(run.Out, "Synchronized\tbig.bin\n");
  EXPECT_TRUE(run.Err.starts_with("\rTransferring: ")) << run.Err;
  EXPECT_TRUE(run.Err.ends_with("\r\x1b[K")) << run.Err;
}

}  // namespace
}  // namespace ravelo::test
