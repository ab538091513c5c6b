#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

namespace ravelo {

class IServer;
class TWaiter;

// What the synchronization device does with one of its servers: connect and
// disconnect it, queue worker threads on it, read its progress. Servers are
// shared: the device holds them through this interface, and a waiter that
// was granted one holds it until it ends.
class IServerControl {
 public:
  virtual ~IServerControl() = default;

  // A plain server: logged in. A sticky server: a connection is wanted.
  virtual bool IsConnected() const = 0;
  // Queues the waiter (in its own thread, when its operation first needs a
  // server). The first waiter of the queue is granted the server at once
  // (SetServer); each next one when the one before it ends.
  virtual void Enqueue(TWaiter& waiter) = 0;
  // Opens the connection with the open project's site settings, read anew
  // each time. Throws the client's error, or EServerUnavailable when a
  // Disconnect came meanwhile.
  virtual void Connect() = 0;
  // Any thread, at any time: terminates every queued waiter and closes the
  // connection, waking a transfer in progress. Never throws.
  virtual void Disconnect() = 0;
  virtual std::shared_ptr<IServer> GetServer() = 0;
  // Bytes moved by every transfer since the server was made, the one in
  // progress included. Any thread, for the progress display.
  virtual std::int64_t GetTransferred() const = 0;
  // A waiter is queued.
  virtual bool IsBusy() const = 0;
  // The last connection opened encrypts its control and data connections
  // (FTP over TLS). Any thread.
  virtual bool Encrypted() const = 0;
  // Keep-alive thread: sends NOOP when the connection has been idle for
  // `idle` or longer, unless an operation holds it or a waiter is queued
  // (then it returns at once). A NOOP that fails closes the connection
  // quietly (a sticky server opens it again on next use). Answers when the
  // connection will next have been idle that long.
  virtual std::chrono::steady_clock::time_point KeepAlive(std::chrono::milliseconds idle) = 0;
};

}  // namespace ravelo
