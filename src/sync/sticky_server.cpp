#include "sync/sticky_server.h"

#include "net/ftp_exceptions.h"

namespace ravelo {

TStickyServer::TStickyServer(bool connect_at_once, const TFtpSettings& client_settings)
    : TServer(client_settings), connect_at_once_(connect_at_once) {}

bool TStickyServer::IsConnected() const {
  return Wanted();
}

void TStickyServer::Connect() {
  std::lock_guard lock(OpLock());
  const std::uint64_t since = Disconnects();
  if (connect_at_once_ && !ClientConnected()) ConnectSince(since);
  SetWanted(since);
}

bool TStickyServer::IsConnectionLost(const std::exception& error) const {
  if (dynamic_cast<const EFtpConnClosed*>(&error) != nullptr ||
      dynamic_cast<const EFtpNotConnected*>(&error) != nullptr)
    return true;
  if (const auto* reply = dynamic_cast<const EFtpReplyError*>(&error))
    return reply->ReplyErrorCode() == 421 || reply->ReplyErrorCode() == 426;
  // A reset or a broken pipe on the control connection closes it; on a data
  // connection the control connection stays, and the error is the
  // transfer's own.
  return dynamic_cast<const EFtpSocketError*>(&error) != nullptr && !ClientConnected();
}

template <class Operation>
auto TStickyServer::Sticky(Operation operation) -> decltype(operation()) {
  struct TDepth {
    explicit TDepth(int& depth) : depth_(depth) { ++depth_; }
    ~TDepth() { --depth_; }
    TDepth(const TDepth&) = delete;
    TDepth& operator=(const TDepth&) = delete;
    int& depth_;
  };
  return Guarded([&]() -> decltype(operation()) {
    const std::uint64_t since = Disconnects();
    if (Wanted() && !ClientConnected()) ConnectSince(since);
    // Only the outermost operation retries: one nested in it (a folder's
    // presence read on the way in) hands the loss up, and the whole
    // operation runs again.
    const bool outermost = depth_ == 0;
    const TDepth depth(depth_);
    if (!outermost) return operation();
    try {
      return operation();
    } catch (const std::exception& error) {
      if (!IsConnectionLost(error) || !Wanted() || Disconnects() != since) throw;
    }
    CloseConnection();
    ConnectSince(since);
    return operation();
  });
}

TRemoteFileInfo TStickyServer::GetFileInfo(TNode& file) {
  return Sticky([&] { return TServer::GetFileInfo(file); });
}

bool TStickyServer::FolderExists(TNode& folder) {
  return Sticky([&] { return TServer::FolderExists(folder); });
}

void TStickyServer::Download(TNode& file) {
  Sticky([&] { TServer::Download(file); });
}

void TStickyServer::Upload(TNode& file) {
  Sticky([&] { TServer::Upload(file); });
}

void TStickyServer::DeleteFile(TNode& file) {
  Sticky([&] { TServer::DeleteFile(file); });
}

void TStickyServer::DeleteFolder(TNode& folder) {
  Sticky([&] { TServer::DeleteFolder(folder); });
}

std::shared_ptr<ITimeInfo> TStickyServer::ListFolder(TNode& folder) {
  return Sticky([&] { return TServer::ListFolder(folder); });
}

void TStickyServer::Rename(TNode& node, const std::string& new_name) {
  Sticky([&] { TServer::Rename(node, new_name); });
}

void TStickyServer::MakeFolder(TNode& folder) {
  Sticky([&] { TServer::MakeFolder(folder); });
}

}  // namespace ravelo
