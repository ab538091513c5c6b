#pragma once

#include <exception>

#include "sync/server.h"

namespace ravelo {

// A server that keeps its connection: Connect only makes a connection
// wanted (opening it at once with connect_at_once, else on first use), and
// an operation whose connection was lost reconnects and runs once more.
//
// Lost: the server closed the connection or stopped answering
// (EFtpConnClosed, EFtpTimeout), a send or read failed on a control
// connection that is gone (EFtpSocketError, EFtpNotConnected), or the
// server answered 421 or 426. A reconnect leaves the queue alone: the
// retried operation's result counts, and the waiters behind it keep their
// turn. Never after the user's Disconnect: an operation that a Disconnect
// breaks off is not retried and ends as terminated.
//
// Threads: as TServer. depth_ is guarded by the operation lock.
class TStickyServer : public TServer {
 public:
  explicit TStickyServer(bool connect_at_once,
                         const TFtpSettings& client_settings = DefaultClientSettings());

  // A connection is wanted.
  bool IsConnected() const override;
  void Connect() override;

  TRemoteFileInfo GetFileInfo(TNode& file) override;
  bool FolderExists(TNode& folder) override;
  void Download(TNode& file) override;
  void Upload(TNode& file) override;
  void DeleteFile(TNode& file) override;
  void DeleteFolder(TNode& folder) override;
  std::shared_ptr<ITimeInfo> ListFolder(TNode& folder) override;
  void Rename(TNode& node, const std::string& new_name) override;
  void MakeFolder(TNode& folder) override;

 private:
  template <class Operation>
  auto Sticky(Operation operation) -> decltype(operation());
  bool IsConnectionLost(const std::exception& error) const;

  const bool connect_at_once_;
  int depth_ = 0;  // operation lock; operations running, nested ones included
};

}  // namespace ravelo
