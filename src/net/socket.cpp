#include "net/socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <memory>

#include "net/ftp_exceptions.h"

namespace ravelo {

namespace {

using Clock = std::chrono::steady_clock;

// Polls the descriptors until one is ready; false when the limit ran out.
bool PollFor(pollfd* fds, nfds_t count, TWaitLimit limit) {
  const auto deadline = Clock::now() + limit;
  for (;;) {
    int timeout = -1;
    if (limit.count() > 0) {
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return false;
      timeout = static_cast<int>(std::min<long long>(left, 1 << 30));
    }
    const int ready = poll(fds, count, timeout);
    if (ready > 0) return true;
    if (ready == 0) {
      if (limit.count() > 0) return false;
      continue;
    }
    if (errno != EINTR) throw EFtpSocketError(errno);
  }
}

void WaitFor(int handle, short events, TWaitLimit limit) {
  pollfd fd{handle, events, 0};
  if (!PollFor(&fd, 1, limit)) throw EFtpTimeout();
}

int NewSocket(int family) {
  const int handle = socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
  if (handle < 0) throw EFtpSocketError(errno);
  return handle;
}

bool ParsePort(std::string_view text, int& port) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > 65535) {
    return false;
  }
  port = value;
  return true;
}

}  // namespace

// --- TSocketAddress ---

TSocketAddress::TSocketAddress(const sockaddr* address, socklen_t length) {
  length_ = std::min<socklen_t>(length, sizeof(storage_));
  std::memcpy(&storage_, address, length_);
}

std::string TSocketAddress::Host() const {
  char text[INET6_ADDRSTRLEN] = {};
  if (Family() == AF_INET) {
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&storage_)->sin_addr, text,
              sizeof(text));
  } else if (Family() == AF_INET6) {
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&storage_)->sin6_addr, text,
              sizeof(text));
  }
  return text;
}

int TSocketAddress::Port() const {
  if (Family() == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in*>(&storage_)->sin_port);
  if (Family() == AF_INET6) {
    return ntohs(reinterpret_cast<const sockaddr_in6*>(&storage_)->sin6_port);
  }
  return 0;
}

void TSocketAddress::SetPort(int port) {
  if (Family() == AF_INET) {
    reinterpret_cast<sockaddr_in*>(&storage_)->sin_port = htons(static_cast<uint16_t>(port));
  } else if (Family() == AF_INET6) {
    reinterpret_cast<sockaddr_in6*>(&storage_)->sin6_port = htons(static_cast<uint16_t>(port));
  }
}

bool TSocketAddress::SameHost(const TSocketAddress& other) const {
  if (Family() != other.Family()) return false;
  if (Family() == AF_INET) {
    return reinterpret_cast<const sockaddr_in*>(&storage_)->sin_addr.s_addr ==
           reinterpret_cast<const sockaddr_in*>(&other.storage_)->sin_addr.s_addr;
  }
  if (Family() == AF_INET6) {
    return std::memcmp(&reinterpret_cast<const sockaddr_in6*>(&storage_)->sin6_addr,
                       &reinterpret_cast<const sockaddr_in6*>(&other.storage_)->sin6_addr,
                       sizeof(in6_addr)) == 0;
  }
  return false;
}

// --- TSocket ---

TSocket::~TSocket() {
  Close();
}

TSocket::TSocket(TSocket&& other) noexcept : handle_(other.handle_), tls_(std::move(other.tls_)) {
  other.handle_ = -1;
}

TSocket& TSocket::operator=(TSocket&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    tls_ = std::move(other.tls_);
    other.handle_ = -1;
  }
  return *this;
}

TSocket TSocket::Connect(const std::string& host, int port, TWaitLimit limit) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  int lookup = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
  if (lookup == EAI_NONAME || lookup == EAI_ADDRFAMILY) {
    // Without a configured non-loopback address AI_ADDRCONFIG hides loopback too.
    hints.ai_flags = AI_NUMERICSERV;
    lookup = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
  }
  if (lookup != 0) throw EFtpSocketError::HostNotFound(lookup);
  const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> addresses(found, &freeaddrinfo);

  int last_error = 0;
  bool timed_out = false;
  for (const addrinfo* address = found; address != nullptr; address = address->ai_next) {
    TSocket candidate =
        TryConnect(address->ai_addr, address->ai_addrlen, limit, last_error, timed_out);
    if (candidate.IsOpen()) return candidate;
  }
  if (timed_out) throw EFtpTimeout();
  throw EFtpSocketError(last_error != 0 ? last_error : ECONNREFUSED);
}

TSocket TSocket::Connect(const TSocketAddress& address, TWaitLimit limit) {
  int error = 0;
  bool timed_out = false;
  TSocket connected = TryConnect(address.Raw(), address.Length(), limit, error, timed_out);
  if (connected.IsOpen()) return connected;
  if (timed_out) throw EFtpTimeout();
  throw EFtpSocketError(error != 0 ? error : ECONNREFUSED);
}

TSocket TSocket::TryConnect(const sockaddr* address, socklen_t length, TWaitLimit limit, int& error,
                            bool& timed_out) {
  TSocket candidate(NewSocket(address->sa_family));
  if (connect(candidate.handle_, address, length) == 0) return candidate;
  if (errno != EINPROGRESS) {
    error = errno;
    return {};
  }
  pollfd fd{candidate.handle_, POLLOUT, 0};
  if (!PollFor(&fd, 1, limit)) {
    timed_out = true;
    return {};
  }
  int failure = 0;
  socklen_t size = sizeof(failure);
  if (getsockopt(candidate.handle_, SOL_SOCKET, SO_ERROR, &failure, &size) < 0) failure = errno;
  if (failure == 0) return candidate;
  error = failure;
  timed_out = false;
  return {};
}

TSocket TSocket::Listen(const TSocketAddress& address) {
  TSocket listener(NewSocket(address.Family()));
  if (bind(listener.handle_, address.Raw(), address.Length()) < 0 ||
      listen(listener.handle_, 8) < 0) {
    throw EFtpSocketError(errno);
  }
  return listener;
}

TSocketAddress TSocket::LocalAddress() const {
  sockaddr_storage storage{};
  socklen_t length = sizeof(storage);
  if (getsockname(handle_, reinterpret_cast<sockaddr*>(&storage), &length) < 0) {
    throw EFtpSocketError(errno);
  }
  return TSocketAddress(reinterpret_cast<sockaddr*>(&storage), length);
}

TSocketAddress TSocket::PeerAddress() const {
  sockaddr_storage storage{};
  socklen_t length = sizeof(storage);
  if (getpeername(handle_, reinterpret_cast<sockaddr*>(&storage), &length) < 0) {
    throw EFtpSocketError(errno);
  }
  return TSocketAddress(reinterpret_cast<sockaddr*>(&storage), length);
}

bool TSocket::HasData() const {
  return !tls_ || tls_->HasData();
}

bool TSocket::Readable() const {
  pollfd fd{handle_, POLLIN, 0};
  const int ready = poll(&fd, 1, 0);
  if (ready < 0 && errno != EINTR) throw EFtpSocketError(errno);
  return (ready > 0 || tls_) && HasData();
}

bool TSocket::ReadableWithin(TWaitLimit limit) const {
  return WaitForData(*this, *this, limit) >= 0;
}

TSocket TSocket::Accept(TWaitLimit limit) {
  for (;;) {
    const int handle = accept4(handle_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (handle >= 0) return TSocket(handle);
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNABORTED) {
      WaitFor(handle_, POLLIN, limit);
      continue;
    }
    throw EFtpSocketError(errno);
  }
}

std::size_t TSocket::Receive(char* buffer, std::size_t size, TWaitLimit limit) {
  if (handle_ < 0) throw EFtpSocketError(EBADF);
  while (tls_) {
    const TTlsLayer::TStep step = tls_->Read(buffer, size);
    if (step.Wait == TTlsLayer::twNone) return step.Count;
    WaitFor(handle_, step.Wait == TTlsLayer::twRead ? POLLIN : POLLOUT, limit);
  }
  for (;;) {
    // Try first: on a busy transfer the data is usually there already.
    const ssize_t got = recv(handle_, buffer, size, 0);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      WaitFor(handle_, POLLIN, limit);
    } else if (errno != EINTR) {
      throw EFtpSocketError(errno);
    }
  }
}

void TSocket::SendAll(const char* data, std::size_t size, TWaitLimit limit) {
  if (handle_ < 0) throw EFtpSocketError(EBADF);
  while (tls_ && size > 0) {
    const TTlsLayer::TStep step = tls_->Write(data, size);
    if (step.Wait == TTlsLayer::twNone) {
      data += step.Count;
      size -= step.Count;
    } else {
      WaitFor(handle_, step.Wait == TTlsLayer::twRead ? POLLIN : POLLOUT, limit);
    }
  }
  while (size > 0) {
    const ssize_t sent = send(handle_, data, size, MSG_NOSIGNAL);
    if (sent >= 0) {
      data += sent;
      size -= static_cast<std::size_t>(sent);
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      WaitFor(handle_, POLLOUT, limit);
    } else if (errno != EINTR) {
      throw EFtpSocketError(errno);
    }
  }
}

void TSocket::SendNoWait(const char* data, std::size_t size) {
  if (handle_ < 0) throw EFtpSocketError(EBADF);
  if (tls_) {
    // A record left half sent would garble every later one: the
    // connection is done for then.
    if (tls_->Write(data, size).Count != size) Shutdown();
    return;
  }
  if (send(handle_, data, size, MSG_NOSIGNAL | MSG_DONTWAIT) < 0 && errno != EAGAIN &&
      errno != EWOULDBLOCK) {
    throw EFtpSocketError(errno);
  }
}

void TSocket::Shutdown() noexcept {
  if (handle_ >= 0) shutdown(handle_, SHUT_RDWR);
}

void TSocket::Close() noexcept {
  // An orderly end tells a TLS peer that nothing was cut off.
  if (tls_) tls_->CloseNotify();
  tls_.reset();
  if (handle_ >= 0) {
    // Closing with bytes unread (the session tickets a TLS server sends on
    // an upload's connection) resets the connection and drops what is still
    // on its way to the server: read them first.
    char unread[16384];
    for (int i = 0; i < 64 && recv(handle_, unread, sizeof(unread), MSG_DONTWAIT) > 0; ++i) {
    }
    close(handle_);
    handle_ = -1;
  }
}

void TSocket::CloseWithReset() noexcept {
  tls_.reset();
  if (handle_ >= 0) {
    const linger reset{1, 0};
    setsockopt(handle_, SOL_SOCKET, SO_LINGER, &reset, sizeof(reset));
  }
  Close();
}

void TSocket::StartTls(const TTlsContext& context, const std::string& host,
                       const TTlsSession& reuse, TWaitLimit limit) {
  if (handle_ < 0) throw EFtpSocketError(EBADF);
  tls_ = std::make_unique<TTlsLayer>(context, handle_, host, reuse);
  for (;;) {
    const TTlsLayer::TStep step = tls_->Handshake();
    if (step.Wait == TTlsLayer::twNone) return;
    WaitFor(handle_, step.Wait == TTlsLayer::twRead ? POLLIN : POLLOUT, limit);
  }
}

int WaitForData(const TSocket& a, const TSocket& b, TWaitLimit limit) {
  // Data may wait decrypted in a TLS layer while its socket has nothing.
  if (a.tls_ && a.HasData()) return 0;
  if (b.tls_ && b.HasData()) return 1;
  const auto deadline = Clock::now() + limit;
  for (;;) {
    auto left = limit;
    if (limit.count() > 0) {
      left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) return -1;
    }
    pollfd fds[2] = {{a.Handle(), POLLIN, 0}, {b.Handle(), POLLIN, 0}};
    if (!PollFor(fds, 2, left)) return -1;
    // On TLS a readable socket may hold a record of the protocol alone.
    if (fds[0].revents != 0 && a.HasData()) return 0;
    if (fds[1].revents != 0 && b.HasData()) return 1;
  }
}

int WaitReadable(const TSocket& a, const TSocket& b, TWaitLimit limit) {
  const int ready = WaitForData(a, b, limit);
  if (ready < 0) throw EFtpTimeout();
  return ready;
}

THostPort SplitHostPort(const std::string& text, int default_port) {
  THostPort result{text, default_port};
  std::string_view port_text;
  if (!text.empty() && text.front() == '[') {
    const auto close = text.find(']');
    if (close == std::string::npos) throw EFtpSocketError::HostNotFound(EAI_NONAME);
    result.Host = text.substr(1, close - 1);
    const std::string_view rest = std::string_view(text).substr(close + 1);
    if (rest.empty()) return result;
    if (rest.front() != ':') throw EFtpSocketError::HostNotFound(EAI_NONAME);
    port_text = rest.substr(1);
  } else {
    const auto colon = text.find(':');
    if (colon == std::string::npos || text.find(':', colon + 1) != std::string::npos) {
      return result;  // no port, or a bare IPv6 address
    }
    result.Host = text.substr(0, colon);
    port_text = std::string_view(text).substr(colon + 1);
  }
  if (!ParsePort(port_text, result.Port)) throw EFtpSocketError::HostNotFound(EAI_SERVICE);
  return result;
}

}  // namespace ravelo
