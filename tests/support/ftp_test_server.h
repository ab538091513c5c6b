#pragma once

#include <sys/types.h>

#include <ctime>
#include <filesystem>
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

  enum TTls {
    kPlain,
    // FTP over TLS with a new self-signed certificate: it never verifies.
    kSelfSigned,
    // FTP over TLS with a certificate for CertificateName issued by a new
    // authority (AuthorityFile), which verifies where that is trusted.
    kIssued,
  };
  struct TOptions {
    std::string Address = "127.0.0.1";
    TTls Tls = kPlain;
    std::string CertificateName = "127.0.0.1";
    // Features taken away with their commands, comma-separated ("MLST,MDTM").
    std::string Hide;
    bool RefuseProtP = false;
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
  // With TLS: the SHA-256 fingerprint of the server's certificate, 64
  // upper-case hex digits.
  const std::string& Fingerprint() const { return fingerprint_; }
  // kIssued: the authority's certificate (PEM), for SSL_CERT_FILE.
  std::string AuthorityFile() const { return (certificates_ / "ca.pem").string(); }
  // What the server received and answered so far, one a line: each
  // command ("CWD docs") and the code of each reply ("550"), in order.
  std::vector<std::string> Log() const;
  // How many lines of Log() begin with prefix.
  int LogCount(const std::string& prefix) const;
  // Writes a file below the home with the given modification time.
  std::filesystem::path Put(const std::string& path, const std::string& content,
                            std::time_t seconds) const;

 private:
  TTempDir home_;
  TTempDir certificates_;
  TTempDir work_;  // the log, outside the served folder
  std::string fingerprint_;
  std::string address_;
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace ravelo::test
