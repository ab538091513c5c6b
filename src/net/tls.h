#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

using SSL_CTX = struct ssl_ctx_st;
using SSL = struct ssl_st;
using SSL_SESSION = struct ssl_session_st;

namespace ravelo {

// The client side of TLS (OpenSSL) for one FTP client's connections:
// certificates are verified against the system's trust store, TLS 1.2 at
// least. Set up once, then shared by the connections it makes (OpenSSL
// allows that for a context no longer changed). Raises EFtpTlsError.
// A session to resume: data connections offer the control connection's.
using TTlsSession = std::shared_ptr<SSL_SESSION>;

class TTlsContext {
 public:
  TTlsContext();
  ~TTlsContext();
  TTlsContext(const TTlsContext&) = delete;
  TTlsContext& operator=(const TTlsContext&) = delete;

  SSL_CTX* Handle() const { return context_; }

 private:
  SSL_CTX* context_;
};

// TLS on one connected, non-blocking socket descriptor; TSocket drives it
// and does the waiting. Every step returns at once: done, or what it waits
// for.
//
// Threads: the socket's thread uses it; another thread may Write (the
// last words ABOR and QUIT) at the same time, so every call into OpenSSL
// holds lock_, which guards ssl_.
class TTlsLayer {
 public:
  enum TWait { twNone, twRead, twWrite };
  struct TStep {
    TWait Wait;
    std::size_t Count;  // bytes moved when Wait is twNone; 0 at the end of the stream
  };

  // host names the server: SNI and the host name the certificate must
  // carry (a numeric address is checked as an address).
  TTlsLayer(const TTlsContext& context, int handle, const std::string& host,
            const TTlsSession& reuse);
  ~TTlsLayer();
  TTlsLayer(const TTlsLayer&) = delete;
  TTlsLayer& operator=(const TTlsLayer&) = delete;

  TStep Handshake();
  TStep Read(char* buffer, std::size_t size);
  TStep Write(const char* data, std::size_t size);
  // True when a Read would not wait: decrypted data, or a failure or the
  // end to report. Reads what the socket holds without waiting.
  bool HasData();
  // Sends the closing alert without waiting; failures are ignored.
  void CloseNotify() noexcept;

  // After the handshake: whether the certificate verified (trust store and
  // host name), and what OpenSSL says of its verification.
  bool Verified() const;
  std::string VerifyText() const;
  // The SHA-256 fingerprint of the server's certificate, 64 upper-case hex
  // digits; "" when there is none.
  std::string PeerFingerprint() const;
  // A copy of the session, for a data connection to resume: OpenSSL takes
  // a TLS 1.3 session for spent once it has resumed, while servers take
  // the same ticket again; every data connection resumes the control
  // connection's session this way. Empty when there is none.
  TTlsSession Session() const;
  bool SessionReused() const;

  // What the socket I/O under OpenSSL works on: the descriptor, and whether
  // a read met the end of the stream. Its address is handed to OpenSSL.
  struct TBioState {
    int Handle;
    bool AtEnd;
  };

 private:
  TStep Failed(int result, bool handshake);

  mutable std::mutex lock_;
  SSL* ssl_;
  TBioState bio_state_;
};

// A fingerprint as the user may type it (hex digits in any case, colons or
// blanks between them): 64 upper-case hex digits, or "" when it is not a
// SHA-256 fingerprint.
std::string NormalizeFingerprint(const std::string& text);

}  // namespace ravelo
