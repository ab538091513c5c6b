#pragma once

#include <sys/socket.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "net/tls.h"

namespace ravelo {

// An IPv4 or IPv6 socket address.
class TSocketAddress {
 public:
  TSocketAddress() = default;
  TSocketAddress(const sockaddr* address, socklen_t length);

  int Family() const { return storage_.ss_family; }
  // The numeric host ("127.0.0.1", "::1").
  std::string Host() const;
  int Port() const;
  void SetPort(int port);
  // True when both name the same host, whatever the ports.
  bool SameHost(const TSocketAddress& other) const;

  const sockaddr* Raw() const { return reinterpret_cast<const sockaddr*>(&storage_); }
  socklen_t Length() const { return length_; }

 private:
  sockaddr_storage storage_{};
  socklen_t length_ = 0;
};

// A wait on the network; zero waits without limit.
using TWaitLimit = std::chrono::milliseconds;

// One TCP socket, non-blocking underneath, with bounded blocking operations,
// optionally carrying TLS (then every read and write goes through it).
// Every errno is turned into an exception here and in the TLS layer: a
// refused operation raises EFtpSocketError, a wait that runs out EFtpTimeout.
//
// Threads: one thread uses a socket at a time, except Shutdown, which any
// thread may call to wake a thread blocked in it, and SendNoWait, which
// another thread may call while the owner reads (the TLS layer locks).
class TSocket {
 public:
  TSocket() = default;
  ~TSocket();
  TSocket(TSocket&& other) noexcept;
  TSocket& operator=(TSocket&& other) noexcept;
  TSocket(const TSocket&) = delete;
  TSocket& operator=(const TSocket&) = delete;

  // Resolves host and connects to the first of its addresses that answers.
  static TSocket Connect(const std::string& host, int port, TWaitLimit limit);
  static TSocket Connect(const TSocketAddress& address, TWaitLimit limit);
  // Listens on the given address (its port may be 0: the system chooses).
  static TSocket Listen(const TSocketAddress& address);

  bool IsOpen() const { return handle_ >= 0; }
  int Handle() const { return handle_; }
  TSocketAddress LocalAddress() const;
  TSocketAddress PeerAddress() const;

  // True when a read (or an accept) would not wait now. On TLS, what is
  // read must be data: a record of the protocol alone does not count.
  bool Readable() const;
  // True when something to read arrives within the limit (which must not be
  // zero here).
  bool ReadableWithin(TWaitLimit limit) const;
  // Waits for a connection on a listening socket.
  TSocket Accept(TWaitLimit limit);
  // Reads what is there, at most size bytes, waiting for the first; 0 at the
  // end of the stream.
  std::size_t Receive(char* buffer, std::size_t size, TWaitLimit limit);
  // Sends all bytes; the limit applies to each wait for room.
  void SendAll(const char* data, std::size_t size, TWaitLimit limit);
  // Sends what fits now without waiting; for last words such as QUIT.
  void SendNoWait(const char* data, std::size_t size);
  // Ends both directions; a thread blocked in the socket wakes up. The
  // descriptor stays valid until Close.
  void Shutdown() noexcept;
  // An orderly end: what was sent still reaches the peer.
  void Close() noexcept;
  // Closes with a reset instead of an orderly end, so the peer cannot take
  // a broken-off upload for a complete one.
  void CloseWithReset() noexcept;

  // Makes this connection the client side of TLS: the handshake, the limit
  // applying to each wait. host: as for TTlsLayer; reuse may be empty.
  void StartTls(const TTlsContext& context, const std::string& host, const TTlsSession& reuse,
                TWaitLimit limit);
  // The TLS layer, or nullptr on a plain connection.
  const TTlsLayer* Tls() const { return tls_.get(); }

 private:
  explicit TSocket(int handle) : handle_(handle) {}
  // One attempt; a closed socket when it fails, error and timed_out telling why.
  static TSocket TryConnect(const sockaddr* address, socklen_t length, TWaitLimit limit, int& error,
                            bool& timed_out);
  // Whether a read would find data or the end: always on a plain socket
  // that polls readable, only then on TLS.
  bool HasData() const;
  // WaitReadable's work; -1 when the limit runs out.
  friend int WaitForData(const TSocket& a, const TSocket& b, TWaitLimit limit);

  int handle_ = -1;
  std::unique_ptr<TTlsLayer> tls_;
};

// Waits until a or b can be read; answers 0 for a, 1 for b. Raises
// EFtpTimeout when the limit runs out.
int WaitReadable(const TSocket& a, const TSocket& b, TWaitLimit limit);

// "host", "host:port", "[v6address]:port" or "[v6address]"; a bare IPv6
// address (more than one colon) has no port. Without a port, default_port.
// Raises EFtpSocketError (host not found) for a port that is not 1 to 65535.
struct THostPort {
  std::string Host;
  int Port = 21;
};
THostPort SplitHostPort(const std::string& text, int default_port);

}  // namespace ravelo
