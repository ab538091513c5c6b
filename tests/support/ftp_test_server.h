#pragma once

#include <sys/types.h>

#include <string>

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

  explicit TFtpTestServer(const std::string& address = "127.0.0.1");
  ~TFtpTestServer();
  TFtpTestServer(const TFtpTestServer&) = delete;
  TFtpTestServer& operator=(const TFtpTestServer&) = delete;

  // "127.0.0.1:PORT", or "[::1]:PORT" for an IPv6 address.
  std::string HostPort() const;
  const TTempDir& Home() const { return home_; }

 private:
  TTempDir home_;
  std::string address_;
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace ravelo::test
