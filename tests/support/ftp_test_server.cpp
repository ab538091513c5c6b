#include "support/ftp_test_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace ravelo::test {

namespace {

constexpr auto kStartLimit = std::chrono::seconds(20);

}  // namespace

TFtpTestServer::TFtpTestServer(const std::string& address)
    : TFtpTestServer([&] {
        TOptions options;
        options.Address = address;
        return options;
      }()) {}

TFtpTestServer::TFtpTestServer(const TOptions& options) : address_(options.Address) {
  int pipe_ends[2];
  if (pipe2(pipe_ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDOUT_FILENO);
  std::vector<std::string> arguments = {
      "/usr/bin/python3", RAVELO_PYFTPD_SCRIPT, home_.PathString(), kUser, kPassword, address_};
  if (options.Tls == kSelfSigned) {
    arguments.insert(arguments.end(), {"--tls", certificates_.PathString()});
  } else if (options.Tls == kIssued) {
    arguments.insert(arguments.end(),
                     {"--tls-ca", certificates_.PathString(), options.CertificateName});
  }
  if (!options.Hide.empty()) arguments.insert(arguments.end(), {"--hide", options.Hide});
  if (options.RefuseProtP) arguments.push_back("--refuse-prot-p");
  const std::size_t lines = options.Tls == kPlain ? 1 : 2;
  arguments.insert(arguments.end(), {"--log", (work_ / "log").string()});
  if (options.TransferRate > 0)
    arguments.insert(arguments.end(), {"--rate", std::to_string(options.TransferRate)});
  std::vector<char*> argv;
  for (auto& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_ends[1]);
  if (spawned != 0) {
    close(pipe_ends[0]);
    throw std::runtime_error("cannot start /usr/bin/python3");
  }
  // The first line on its standard output is the port, the second the
  // certificate's fingerprint.
  std::string line;
  pollfd fd{pipe_ends[0], POLLIN, 0};
  const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
  const auto left = [&] {
    const auto rest =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<std::int64_t>(rest.count(), 0));
  };
  const auto line_count = [&] { return std::count(line.begin(), line.end(), '\n'); };
  while (line_count() < static_cast<long>(lines) && poll(&fd, 1, left()) > 0) {
    char buffer[64];
    const ssize_t got = read(pipe_ends[0], buffer, sizeof(buffer));
    if (got <= 0) break;
    line.append(buffer, static_cast<std::size_t>(got));
  }
  close(pipe_ends[0]);
  try {
    port_ = std::stoi(line);
  } catch (const std::exception&) {
    port_ = 0;
  }
  if (lines == 2) {
    const auto first_end = line.find('\n');
    fingerprint_ = line.substr(first_end + 1, line.find('\n', first_end + 1) - first_end - 1);
    if (fingerprint_.size() != 64) port_ = 0;
  }
  if (port_ <= 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    throw std::runtime_error(
        "the FTP test server did not start (are python3-pyftpdlib and python3-openssl installed?)");
  }
}

TFtpTestServer::~TFtpTestServer() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

std::vector<std::string> TFtpTestServer::Log() const {
  std::vector<std::string> lines;
  std::ifstream log(work_ / "log");
  for (std::string line; std::getline(log, line);) lines.push_back(line);
  return lines;
}

std::string TFtpTestServer::HostPort() const {
  const std::string host =
      address_.find(':') != std::string::npos ? "[" + address_ + "]" : address_;
  return host + ":" + std::to_string(port_);
}

int TFtpTestServer::LogCount(const std::string& prefix) const {
  int count = 0;
  for (const std::string& line : Log()) count += line.starts_with(prefix) ? 1 : 0;
  return count;
}

std::filesystem::path TFtpTestServer::Put(const std::string& path, const std::string& content,
                                          std::time_t seconds) const {
  const auto file = home_.CreateFile(path, content);
  std::filesystem::last_write_time(file, std::filesystem::file_time_type::clock::from_sys(
                                             std::chrono::system_clock::from_time_t(seconds)));
  return file;
}

}  // namespace ravelo::test
