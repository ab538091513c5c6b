#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace ravelo::test {

// A real FTP server (pyftpdlib, run by /usr/bin/python3) on a port of the
// given loopback address chosen by the system, serving a fresh temporary
// home folder to one user with full rights. Stopped (killed and waited for)
// when the object goes.
class TFtpTestServer {
 public:
  static constexpr const char* kUser = "tester";
  static constexpr const char* kPassword = "secret word";

  struct TOptions {
    std::string Address = "127.0.0.1";
    // Bytes per second a data connection may move, in small paced chunks,
    // so that a test can act while a transfer runs (0: no limit).
    long TransferRate = 0;
  };

  explicit TFtpTestServer(const std::string& address = "127.0.0.1");
  explicit TFtpTestServer(const TOptions& options);
  ~TFtpTestServer();
  TFtpTestServer(const TFtpTestServer&) = delete;
  TFtpTestServer& operator=(const TFtpTestServer&) = delete;

  // "127.0.0.1:PORT", or "[::1]:PORT" for an IPv6 address.
  std::string HostPort() const;
  const TTempDir& Home() const { return home_; }
  // What the server received and answered so far, one a line: each
  // command ("CWD docs") and the code of each reply ("550"), in order.
  std::vector<std::string> Log() const;

 private:
  TTempDir home_;
  TTempDir work_;  // the log, outside the served folder
  std::string address_;
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace ravelo::test
