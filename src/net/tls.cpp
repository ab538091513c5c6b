#include "net/tls.h"

#include <arpa/inet.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>

#include "net/ftp_exceptions.h"

namespace ravelo {

namespace {

// OpenSSL's own socket I/O writes with write(2), which raises SIGPIPE on a
// connection the peer has closed and would end the program; this one sends
// with MSG_NOSIGNAL. Its data is the descriptor and whether a read met the
// end of the stream, which OpenSSL asks for (BIO_CTRL_EOF).
using TBioState = TTlsLayer::TBioState;

TBioState& StateOf(BIO* bio) {
  return *static_cast<TBioState*>(BIO_get_data(bio));
}

int BioWrite(BIO* bio, const char* data, int size) {
  BIO_clear_retry_flags(bio);
  const ssize_t sent =
      send(StateOf(bio).Handle, data, static_cast<std::size_t>(size), MSG_NOSIGNAL);
  if (sent >= 0) return static_cast<int>(sent);
  if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) BIO_set_retry_write(bio);
  return -1;
}

int BioRead(BIO* bio, char* buffer, int size) {
  BIO_clear_retry_flags(bio);
  const ssize_t got = recv(StateOf(bio).Handle, buffer, static_cast<std::size_t>(size), 0);
  if (got > 0) return static_cast<int>(got);
  if (got == 0) {
    StateOf(bio).AtEnd = true;
    return 0;
  }
  if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) BIO_set_retry_read(bio);
  return -1;
}

long BioControl(BIO* bio, int command, long, void*) {
  if (command == BIO_CTRL_FLUSH) return 1;
  if (command == BIO_CTRL_EOF) return StateOf(bio).AtEnd ? 1 : 0;
  return 0;
}

BIO_METHOD* SocketMethod() {
  static BIO_METHOD* const method = [] {
    BIO_METHOD* created = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "ravelo socket");
    if (created != nullptr) {
      BIO_meth_set_write(created, BioWrite);
      BIO_meth_set_read(created, BioRead);
      BIO_meth_set_ctrl(created, BioControl);
    }
    return created;
  }();
  return method;
}

// What OpenSSL reports of the last failure; the queue is left empty.
std::string FailureText() {
  const unsigned long code = ERR_get_error();
  ERR_clear_error();
  const char* reason = code != 0 ? ERR_reason_error_string(code) : nullptr;
  return reason != nullptr ? reason : "unknown failure";
}

std::size_t Capped(std::size_t size) {
  return std::min<std::size_t>(size, INT_MAX);
}

bool IsNumericAddress(const std::string& host) {
  unsigned char address[sizeof(in6_addr)];
  return inet_pton(AF_INET, host.c_str(), address) == 1 ||
         inet_pton(AF_INET6, host.c_str(), address) == 1;
}

}  // namespace

// --- TTlsContext ---

TTlsContext::TTlsContext() : context_(SSL_CTX_new(TLS_client_method())) {
  if (context_ == nullptr) throw EFtpTlsError(FailureText());
  SSL_CTX_set_min_proto_version(context_, TLS1_2_VERSION);
  // A store that cannot be read leaves every certificate unverified: the
  // user then sees the refusal with the fingerprint, not a silent pass.
  SSL_CTX_set_default_verify_paths(context_);
  ERR_clear_error();
  // The handshake completes whatever the verification says; the client
  // then refuses or accepts the certificate itself (an accepted one may not
  // verify).
  SSL_CTX_set_verify(context_, SSL_VERIFY_NONE, nullptr);
  // A data connection ends when the server closes it; whether the transfer
  // is complete is the control connection's (encrypted) final reply.
  SSL_CTX_set_options(context_, SSL_OP_IGNORE_UNEXPECTED_EOF);
  SSL_CTX_set_mode(context_, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  SSL_CTX_set_session_cache_mode(context_,
                                 SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
}

TTlsContext::~TTlsContext() {
  SSL_CTX_free(context_);
}

// --- TTlsLayer ---

TTlsLayer::TTlsLayer(const TTlsContext& context, int handle, const std::string& host,
                     const TTlsSession& reuse)
    : ssl_(SSL_new(context.Handle())), bio_state_{handle, false} {
  BIO* bio = SocketMethod() != nullptr ? BIO_new(SocketMethod()) : nullptr;
  if (ssl_ == nullptr || bio == nullptr) {
    BIO_free(bio);
    SSL_free(ssl_);
    throw EFtpTlsError(FailureText());
  }
  BIO_set_data(bio, &bio_state_);
  BIO_set_init(bio, 1);
  SSL_set_bio(ssl_, bio, bio);
  if (IsNumericAddress(host)) {
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), host.c_str());
  } else {
    // SSL_set_tlsext_host_name, without the macro's cast.
    SSL_ctrl(ssl_, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
             const_cast<char*>(host.c_str()));
    SSL_set1_host(ssl_, host.c_str());
  }
  if (reuse) SSL_set_session(ssl_, reuse.get());
  ERR_clear_error();
}

TTlsLayer::~TTlsLayer() {
  SSL_free(ssl_);
}

TTlsLayer::TStep TTlsLayer::Failed(int result, bool handshake) {
  const int error = errno;
  switch (SSL_get_error(ssl_, result)) {
    case SSL_ERROR_WANT_READ:
      return {twRead, 0};
    case SSL_ERROR_WANT_WRITE:
      return {twWrite, 0};
    case SSL_ERROR_ZERO_RETURN:
      if (handshake) throw EFtpConnClosed();
      return {twNone, 0};
    case SSL_ERROR_SYSCALL:
      if (ERR_peek_error() == 0) {
        if (error != 0) throw EFtpSocketError(error);
        if (handshake) throw EFtpConnClosed();
        return {twNone, 0};
      }
      break;
    default:
      break;
  }
  throw EFtpTlsError(FailureText());
}

TTlsLayer::TStep TTlsLayer::Handshake() {
  std::lock_guard guard(lock_);
  ERR_clear_error();
  errno = 0;
  const int result = SSL_connect(ssl_);
  if (result == 1) return {twNone, 0};
  return Failed(result, true);
}

TTlsLayer::TStep TTlsLayer::Read(char* buffer, std::size_t size) {
  std::lock_guard guard(lock_);
  ERR_clear_error();
  errno = 0;
  std::size_t got = 0;
  const int result = SSL_read_ex(ssl_, buffer, Capped(size), &got);
  if (result == 1) return {twNone, got};
  return Failed(result, false);
}

TTlsLayer::TStep TTlsLayer::Write(const char* data, std::size_t size) {
  std::lock_guard guard(lock_);
  ERR_clear_error();
  errno = 0;
  std::size_t written = 0;
  const int result = SSL_write_ex(ssl_, data, Capped(size), &written);
  if (result == 1) return {twNone, written};
  const TStep step = Failed(result, false);
  // The peer cannot take more once it has closed.
  if (step.Wait == twNone) throw EFtpSocketError(EPIPE);
  return step;
}

bool TTlsLayer::HasData() {
  std::lock_guard guard(lock_);
  if (SSL_pending(ssl_) > 0) return true;
  ERR_clear_error();
  char byte;
  std::size_t got = 0;
  const int result = SSL_peek_ex(ssl_, &byte, 1, &got);
  const int error = result == 1 ? SSL_ERROR_NONE : SSL_get_error(ssl_, result);
  ERR_clear_error();
  return error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE;
}

void TTlsLayer::CloseNotify() noexcept {
  std::lock_guard guard(lock_);
  SSL_shutdown(ssl_);
  ERR_clear_error();
}

bool TTlsLayer::Verified() const {
  std::lock_guard guard(lock_);
  return SSL_get_verify_result(ssl_) == X509_V_OK;
}

std::string TTlsLayer::VerifyText() const {
  std::lock_guard guard(lock_);
  return X509_verify_cert_error_string(SSL_get_verify_result(ssl_));
}

std::string TTlsLayer::PeerFingerprint() const {
  std::lock_guard guard(lock_);
  X509* certificate = SSL_get0_peer_certificate(ssl_);
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (certificate == nullptr || X509_digest(certificate, EVP_sha256(), digest, &length) != 1) {
    ERR_clear_error();
    return {};
  }
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (unsigned int i = 0; i < length; ++i) {
    text += kHex[digest[i] >> 4];
    text += kHex[digest[i] & 15];
  }
  return text;
}

TTlsSession TTlsLayer::Session() const {
  std::lock_guard guard(lock_);
  const SSL_SESSION* session = SSL_get0_session(ssl_);
  return TTlsSession(session != nullptr ? SSL_SESSION_dup(session) : nullptr, SSL_SESSION_free);
}

bool TTlsLayer::SessionReused() const {
  std::lock_guard guard(lock_);
  return SSL_session_reused(ssl_) == 1;
}

std::string NormalizeFingerprint(const std::string& text) {
  std::string digits;
  for (const char c : text) {
    if (c == ':' || c == ' ') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) return {};
    digits += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return digits.size() == 64 ? digits : std::string();
}

}  // namespace ravelo
