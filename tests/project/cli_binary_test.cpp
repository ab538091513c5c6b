// The built ravelo-cli as a script meets it: exit statuses, what goes to
// which stream, and the end of a watch on a signal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/ftp_test_server.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

extern char** environ;

namespace ravelo::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A ravelo-cli process, its standard output and error going to files.
class TCliProcess {
 public:
  TCliProcess(const TTempDir& dir, const std::vector<std::string>& arguments)
      : out_(dir / "out"), err_(dir / "err") {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const int flags = O_WRONLY | O_CREAT | O_TRUNC;
    posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), flags, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(), flags, 0600);
    std::vector<std::string> argv{RAVELO_CLI};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> args;
    for (std::string& argument : argv) args.push_back(argument.data());
    args.push_back(nullptr);
    EXPECT_EQ(::posix_spawn(&pid_, RAVELO_CLI, &actions, nullptr, args.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
  }
  ~TCliProcess() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  TCliProcess(const TCliProcess&) = delete;
  TCliProcess& operator=(const TCliProcess&) = delete;

  std::string Out() const { return Read(out_); }
  std::string Err() const { return Read(err_); }
  // Waits until done(); false when the deadline came first.
  static bool WaitFor(const std::function<bool()>& done) {
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (!done()) {
      if (Clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  }
  // The exit status; -1 when it did not exit by itself in time.
  int Finish() {
    int status = 0;
    if (!WaitFor([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; })) return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void Signal(int signal_number) const { ::kill(pid_, signal_number); }

 private:
  static std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  const fs::path out_;
  const fs::path err_;
  pid_t pid_ = -1;
};

struct TResult {
  int Status;
  std::string Out;
  std::string Err;
};

class CliBinaryTest : public ::testing::Test {
 protected:
  CliBinaryTest() { ftp.Put("www/index.html", "home", (std::time(nullptr) - 7200) / 60 * 60); }

  // A project on the server, the site its "www" folder, plain FTP.
  void New(const TFtpTestServer& server) const {
    ASSERT_EQ(RunCli({"new", project, "--host", server.HostPort(), "--login", TFtpTestServer::kUser,
                      "--remote", "www", "--tls=off"})
                  .Status,
              0);
  }
  TResult RunCli(const std::vector<std::string>& arguments) const {
    TCliProcess process(output, arguments);
    const int status = process.Finish();
    return {status, process.Out(), process.Err()};
  }

  TFtpTestServer ftp;
  TTempDir dir;
  TTempDir output;
  TScopedEnv config{"XDG_CONFIG_HOME", (dir / "config").string()};
  TScopedEnv password{"RAVELO_PASSWORD", TFtpTestServer::kPassword};
  const std::string project = (dir / "site/site.rvlp").string();
};

TEST_F(CliBinaryTest, ExitStatusesAndTheTwoStreams) {
  TResult run = RunCli({});
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Out, "");
  EXPECT_TRUE(run.Err.starts_with("ravelo-cli: a command is needed\nusage: ravelo-cli"));
  run = RunCli({"--help"});
  EXPECT_EQ(run.Status, 0);
  EXPECT_TRUE(run.Out.starts_with("usage: ravelo-cli"));

  New(ftp);
  run = RunCli({"status", project});
  EXPECT_EQ(run.Status, 0);
  EXPECT_EQ(run.Out, "Not Cached\tindex.html\n");
  EXPECT_EQ(run.Err, "");
}

TEST_F(CliBinaryTest, WatchUploadsEachChangeAndEndsCleanlyOnEitherSignal) {
  New(ftp);
  ASSERT_EQ(RunCli({"sync", project, "index.html"}).Out, "Synchronized\tindex.html\n");
  for (const int signal_number : {SIGINT, SIGTERM}) {
    const std::string edit = "edit before signal " + std::to_string(signal_number);
    TCliProcess watch(output, {"watch", project});
    ASSERT_TRUE(TCliProcess::WaitFor([&] { return !watch.Err().empty(); })) << watch.Err();
    // Later than the synchronized copy by far: a change whatever the clock.
    // Both times are set: the modification time alone reads as a write not
    // yet closed, which holds the folder back.
    const std::string local = (dir / "site/index.html").string();
    struct stat status {};
    ASSERT_EQ(::stat(local.c_str(), &status), 0);
    const timespec times[2] = {{status.st_mtim.tv_sec + 10, 0}, {status.st_mtim.tv_sec + 10, 0}};
    dir.CreateFile("site/index.html", edit);
    ASSERT_EQ(::utimensat(AT_FDCWD, local.c_str(), times, 0), 0);
    ASSERT_TRUE(TCliProcess::WaitFor([&] { return watch.Out() == "UPLOADED\tindex.html\n"; }))
        << watch.Out() << watch.Err();
    watch.Signal(signal_number);
    EXPECT_EQ(watch.Finish(), 0) << watch.Err();
    EXPECT_EQ(watch.Err(), "ravelo-cli: watching ./ until SIGINT or SIGTERM\n");
    EXPECT_EQ(ftp.Home().ReadFile("www/index.html"), edit);
  }
  // Saved at the end: the uploads were recorded.
  EXPECT_EQ(RunCli({"status", project}).Out, "Synchronized\tindex.html\n");
}

TEST_F(CliBinaryTest, ASignalEndsAnyCommandCleanlyWithTheProjectSaved) {
  TFtpTestServer::TOptions options;
  options.TransferRate = 16 * 1024;  // a minute for the file below
  TFtpTestServer paced(options);
  paced.Home().CreateFile("www/big.bin", std::string(1024 * 1024, 'x'));
  New(paced);
  TCliProcess sync(output, {"sync", project, "big.bin"});
  ASSERT_TRUE(TCliProcess::WaitFor([&] {
    const std::vector<std::string> log = paced.Log();
    return std::find(log.begin(), log.end(), "RETR big.bin") != log.end();
  }));
  sync.Signal(SIGINT);
  EXPECT_EQ(sync.Finish(), 1);
  EXPECT_EQ(sync.Out(), "");
  EXPECT_EQ(sync.Err(), "ravelo-cli: interrupted\n");
  EXPECT_FALSE(dir.Exists("site/big.bin"));
  EXPECT_EQ(RunCli({"status", project}).Out, "Not Cached\tbig.bin\n");
}

}  // namespace
}  // namespace ravelo::test
