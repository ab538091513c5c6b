// The built ravelo-cli as a script meets it: exit statuses, what goes to
// which stream, and the end of a watch on a signal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/ftp_test_server.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

extern char** environ;

namespace ravelo::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A ravelo-cli process with its standard output and error on pipes.
class TCliProcess {
 public:
  explicit TCliProcess(const std::vector<std::string>& arguments) {
    int out[2];
    int err[2];
    EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);
    EXPECT_EQ(::pipe2(err, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<std::string> argv{RAVELO_CLI};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> args;
    for (std::string& argument : argv) args.push_back(argument.data());
    args.push_back(nullptr);
    EXPECT_EQ(::posix_spawn(&pid_, RAVELO_CLI, &actions, nullptr, args.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    fds_[0] = out[0];
    fds_[1] = err[0];
  }
  ~TCliProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    for (const int fd : fds_) {
      if (fd >= 0) ::close(fd);
    }
  }
  TCliProcess(const TCliProcess&) = delete;
  TCliProcess& operator=(const TCliProcess&) = delete;

  // Reads both streams until done() or both have ended; false when the
  // deadline came first.
  bool ReadUntil(const std::function<bool()>& done,
                 std::chrono::seconds limit = std::chrono::seconds(20)) {
    const auto deadline = Clock::now() + limit;
    while (!done()) {
      pollfd polled[2] = {{fds_[0], POLLIN, 0}, {fds_[1], POLLIN, 0}};
      if (fds_[0] < 0 && fds_[1] < 0) return false;
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0 || ::poll(polled, 2, static_cast<int>(left.count())) <= 0) return false;
      for (int i = 0; i < 2; ++i) {
        if (polled[i].revents == 0) continue;
        char buffer[4096];
        const ssize_t got = ::read(fds_[i], buffer, sizeof(buffer));
        if (got > 0) {
          (i == 0 ? out : err).append(buffer, static_cast<std::size_t>(got));
        } else {
          ::close(fds_[i]);
          fds_[i] = -1;
        }
      }
    }
    return true;
  }
  // Reads to the end of both streams and answers the exit status (-1 when
  // it did not end in time or was killed).
  int Finish() {
    ReadUntil([] { return false; });
    int status = 0;
    if (::waitpid(std::exchange(pid_, -1), &status, 0) < 0 || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
  }
  void Signal(int signal_number) const { ::kill(pid_, signal_number); }

  std::string out;
  std::string err;

 private:
  pid_t pid_ = -1;
  int fds_[2] = {-1, -1};
};

struct TResult {
  int Status;
  std::string Out;
  std::string Err;
};

TResult RunCli(const std::vector<std::string>& arguments) {
  TCliProcess process(arguments);
  const int status = process.Finish();
  return {status, process.out, process.err};
}

class CliBinaryTest : public ::testing::Test {
 protected:
  CliBinaryTest() {
    ftp.Home().CreateDir("www");
    const auto file = ftp.Home().CreateFile("www/index.html", "home");
    const std::time_t minute = (std::time(nullptr) - 7200) / 60 * 60;
    fs::last_write_time(
        file, fs::file_time_type::clock::from_sys(std::chrono::system_clock::from_time_t(minute)));
  }

  TFtpTestServer ftp;
  TTempDir dir;
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

  run = RunCli({"new", project, "--host", ftp.HostPort(), "--login", TFtpTestServer::kUser,
                "--remote", "www"});
  EXPECT_EQ(run.Status, 0) << run.Err;
  run = RunCli({"status", project});
  EXPECT_EQ(run.Status, 0);
  EXPECT_EQ(run.Out, "Not Cached\tindex.html\n");
  EXPECT_EQ(run.Err, "");
  run = RunCli({"status", project, "nosuch"});
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Out, "");
  EXPECT_EQ(run.Err, "ERROR\tnosuch\tNo File Or Folder With The Name \"nosuch\" Found\n");
}

TEST_F(CliBinaryTest, WatchUploadsEachChangeAndEndsCleanlyOnEitherSignal) {
  ASSERT_EQ(RunCli({"new", project, "--host", ftp.HostPort(), "--login", TFtpTestServer::kUser,
                    "--remote", "www"})
                .Status,
            0);
  ASSERT_EQ(RunCli({"sync", project, "index.html"}).Out, "Synchronized\tindex.html\n");
  for (const int signal_number : {SIGINT, SIGTERM}) {
    const std::string edit = "edit before signal " + std::to_string(signal_number);
    TCliProcess watch({"watch", project});
    ASSERT_TRUE(watch.ReadUntil([&] { return watch.err.find("watching") != std::string::npos; }))
        << watch.err;
    // Later than the synchronized copy by far: a change whatever the clock.
    // Both times are set: the modification time alone reads as a write not
    // yet closed, which holds the folder back.
    const std::string local = (dir / "site/index.html").string();
    struct stat status {};
    ASSERT_EQ(::stat(local.c_str(), &status), 0);
    const timespec times[2] = {{status.st_mtim.tv_sec + 10, 0}, {status.st_mtim.tv_sec + 10, 0}};
    dir.CreateFile("site/index.html", edit);
    ASSERT_EQ(::utimensat(AT_FDCWD, local.c_str(), times, 0), 0);
    ASSERT_TRUE(watch.ReadUntil([&] { return watch.out == "UPLOADED\tindex.html\n"; }))
        << watch.out << watch.err;
    watch.Signal(signal_number);
    EXPECT_EQ(watch.Finish(), 0) << watch.err;
    EXPECT_EQ(watch.err, "ravelo-cli: watching ./ until SIGINT or SIGTERM\n");
    EXPECT_EQ(ftp.Home().ReadFile("www/index.html"), edit);
  }
  // Saved at the end: the uploads were recorded.
  EXPECT_EQ(RunCli({"status", project}).Out, "Synchronized\tindex.html\n");
}

}  // namespace
}  // namespace ravelo::test
