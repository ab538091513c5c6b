#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "model/nullable.h"

namespace ravelo {

class ITimeInfo;
class TNode;

// The remote modification time and size of one file.
struct TRemoteFileInfo {
  TDateTime Modified = 0;
  std::int64_t Size = 0;
  // How Modified was read.
  TTimeKind Kind = TTimeKind::Exact;
  // An exact reading of a file whose synchronization record holds a LIST
  // time: its LIST time too, when the server listed it.
  TNullableTime ListedMinute{};
};

// What the tree asks of a server. Called by node operations in worker
// threads; a server serves one waiter at a time (the one it granted itself
// to), so an implementation sees one caller per connection.
class IServer {
 public:
  virtual ~IServer() = default;

  // Time and size of the file (from its folder's listing, or the server's
  // answer for the one file); throws when the server has no such file.
  virtual TRemoteFileInfo GetFileInfo(TNode& file) = 0;
  // Whether the folder can be entered on the server.
  virtual bool FolderExists(TNode& folder) = 0;
  virtual void Download(TNode& file) = 0;
  virtual void Upload(TNode& file) = 0;
  virtual void DeleteFile(TNode& file) = 0;
  virtual void DeleteFolder(TNode& folder) = 0;
  virtual std::shared_ptr<ITimeInfo> ListFolder(TNode& folder) = 0;
  virtual void Rename(TNode& node, const std::string& new_name) = 0;
  // Makes the folder current, creating every missing folder on the way.
  virtual void MakeFolder(TNode& folder) = 0;
};

// Mixed into the server layer's "no open connection" exception (besides its
// own family base). TNode::RefreshRemote takes such an error for a missing
// remote side instead of a failure.
class IServerUnavailableError {
 public:
  virtual ~IServerUnavailableError() = default;
};

// The server of a waiter that has not been given one: every operation
// throws ENoServer, which makes the waiter ask for a real server.
class TNoServer : public IServer {
 public:
  TRemoteFileInfo GetFileInfo(TNode& file) override;
  bool FolderExists(TNode& folder) override;
  void Download(TNode& file) override;
  void Upload(TNode& file) override;
  void DeleteFile(TNode& file) override;
  void DeleteFolder(TNode& folder) override;
  std::shared_ptr<ITimeInfo> ListFolder(TNode& folder) override;
  void Rename(TNode& node, const std::string& new_name) override;
  void MakeFolder(TNode& folder) override;
};

// The process-wide null server every new waiter starts with.
const std::shared_ptr<IServer>& NoServer();

}  // namespace ravelo
