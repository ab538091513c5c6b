#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/server.h"
#include "model/tree_errors.h"
#include "net/ftp_client.h"
#include "sync/server_control.h"

namespace ravelo {

class TNode;

// One FTP connection put behind the tree: the nodes reach it as IServer,
// the device as IServerControl. It keeps the remote folder its
// connection's working directory is in and moves to a node's folder before
// each operation, making missing remote folders on the way down from the
// nearest one the server has.
//
// Shared: make it with std::make_shared. The device holds it, and so does
// each waiter granted it; a waiter's end handler holds only the queue.
//
// The working folder is remembered by its remote path, never by its node,
// and forgotten after any failure and whenever a folder was renamed or
// removed through any server.
//
// Transfers: a download fills a TDownloadTempFile beside the local copy and
// puts it in place only once complete, and only when the copy was not
// edited since the transfer was decided (TSynFile::CheckLocalUnchanged); an
// upload reads the file on the server again first and sends nothing over a
// copy changed there (TSynFile::CheckRemoteUnchanged). Names the local cache
// keeps for itself (the project file, temporary downloads) are never
// transferred.
//
// Times: with the site's PreciseTimes and a server offering MLST, folders
// are listed with MLSD and one file is read with MLST (exact times); else
// everything is read from LIST (minutes, the server's zone). Files whose
// synchronization record holds a LIST time are read with LIST as well
// until their record is exact (TSynFile::SetRemoteInfo).
//
// Threads and locks:
// - The nine IServer operations and Connect: the waiter the server is
//   granted to (or the device's connect thread), each under op_lock_, which
//   is re-entrant because entering a folder may read its presence through
//   the tree, which asks this server again. op_lock_ guards client_'s
//   settings and operations, remote_root_ and current_path_. Not from the
//   main thread: an operation may hand work to the main thread (a node
//   leaving the tree) while it holds op_lock_.
// - Disconnect: any thread, no op_lock_: it shuts the client's sockets down
//   (the client closes a descriptor only once the operation using it has
//   let go), so a running transfer wakes and fails at once.
// - state_mutex_ guards logged_in_, wanted_ and disconnects_: a Disconnect
//   that comes while a connection is being opened always wins, and an
//   operation it cuts short ends as terminated, not with the socket error.
// - The queue has a mutex of its own (TQueue), taken before a waiter's.
// - GetTransferred, IsBusy and Encrypted: any thread; KeepAlive: the
//   device's keep-alive thread, taking op_lock_ only when it is free, and
//   never from the main thread (a NOOP waits for the server).
class TServer : public IServerControl,
                public IServer,
                public std::enable_shared_from_this<TServer> {
 public:
  // The client's defaults, but reading and writing in pieces of 4096 bytes.
  static TFtpSettings DefaultClientSettings();

  // client_settings: every client setting but those the open project's
  // site gives at each connect: the host, the login, the data mode, the
  // TLS mode, the accepted fingerprint and the time rule.
  explicit TServer(const TFtpSettings& client_settings = DefaultClientSettings());
  // Terminates the waiters still queued.
  ~TServer() override;
  TServer(const TServer&) = delete;
  TServer& operator=(const TServer&) = delete;

  // --- IServerControl
  bool IsConnected() const override;
  void Enqueue(TWaiter& waiter) override;
  void Connect() override;
  void Disconnect() override;
  std::shared_ptr<IServer> GetServer() override;
  std::int64_t GetTransferred() const override { return transferred_.load(); }
  bool IsBusy() const override;
  bool Encrypted() const override { return encrypted_.load(); }
  std::chrono::steady_clock::time_point KeepAlive(std::chrono::milliseconds idle) override;
  // Asks every queued waiter, the running one included, to terminate.
  void CancelQueue();

  // --- IServer
  // The file's time and size: MLST when folders are listed with MLSD, else
  // its folder's LIST (the first entry of exactly its name, of whatever
  // kind); EFileNotFound (remote side) when the folder or the entry is
  // missing. A listing the client cannot read fails as such, never as a
  // missing file.
  TRemoteFileInfo GetFileInfo(TNode& file) override;
  bool FolderExists(TNode& folder) override;
  void Download(TNode& file) override;
  void Upload(TNode& file) override;
  void DeleteFile(TNode& file) override;
  void DeleteFolder(TNode& folder) override;
  // Folders (but "." and "..") and files; links and other kinds are left out.
  std::shared_ptr<ITimeInfo> ListFolder(TNode& folder) override;
  void Rename(TNode& node, const std::string& new_name) override;
  void MakeFolder(TNode& folder) override;

  // The node's path on the server under the remote folder of the last
  // connect (RemoteNodePath).
  std::string RemoteNodePath(const TNode& node) const;

 protected:
  // For the sticky server. Each takes op_lock_ where it says so.
  std::recursive_mutex& OpLock() const { return op_lock_; }
  std::uint64_t Disconnects() const;
  bool Wanted() const;
  // Makes a connection wanted, unless a Disconnect came since `since`
  // (then EServerUnavailable).
  void SetWanted(std::uint64_t since);
  bool ClientConnected() const { return client_.Connected(); }
  // Opens a new connection (closing a stale one first). Throws
  // EServerUnavailable, closing it again, when a Disconnect came since
  // `since`. op_lock_ held.
  void ConnectSince(std::uint64_t since);
  // Closes the connection without touching the queue, ignoring errors.
  void CloseConnection();
  // Runs one operation under op_lock_: a failure makes the working folder
  // unknown, and one that a Disconnect cut short becomes ETerminated.
  template <class Operation>
  auto Guarded(Operation operation) -> decltype(operation());

 private:
  struct TQueue;

  void ConnectionTest() const;
  // The working folder is the one at path, and no folder moved since.
  bool InFolder(const std::string& path) const;
  void EnterFolder(TNode& folder);
  void ChangeDir(const std::string& path);
  // Changes into the named child of the working folder, making it when the
  // server answers 550.
  void EnterOrMakeChild(const std::string& name);
  void SetTransferType(std::string_view name);
  // Lists the working folder (with LIST when minutes, else as the time
  // rule says) and finds the entry of exactly that name.
  std::optional<TRemoteFileInfo> ListAndFind(const std::string& name, bool minutes);
  void ListMinutes(std::vector<std::string>& lines);
  // The entry of that name in the working folder, read as its folder is
  // listed; with_minute: an exact reading gets its LIST time beside it.
  std::optional<TRemoteFileInfo> ReadFileInfo(const std::string& name, bool with_minute);
  // The LIST times of a machine listing's files, for records of LIST times.
  void AddListedMinutes(TNode& folder, ITimeInfo& listing);
  static void WaiterTerminated(TQueue& queue, TWaiter& waiter);

  const std::shared_ptr<TQueue> queue_;
  std::atomic<std::int64_t> transferred_{0};

  mutable std::recursive_mutex op_lock_;
  TFtpClient client_;                        // op_lock_ (Disconnect: any thread)
  std::string remote_root_;                  // op_lock_; of the last connect
  std::optional<std::string> current_path_;  // op_lock_; the working folder
  std::uint64_t current_moves_ = 0;          // op_lock_; folder moves seen then
  // op_lock_; the end of the last operation or connect (keep-alive).
  std::chrono::steady_clock::time_point last_used_;
  std::atomic<bool> encrypted_{false};

  mutable std::mutex state_mutex_;
  bool logged_in_ = false;         // state_mutex_
  bool wanted_ = false;            // state_mutex_
  std::uint64_t disconnects_ = 0;  // state_mutex_
};

template <class Operation>
auto TServer::Guarded(Operation operation) -> decltype(operation()) {
  std::lock_guard lock(op_lock_);
  struct TUsed {
    ~TUsed() { last_used = std::chrono::steady_clock::now(); }
    std::chrono::steady_clock::time_point& last_used;
  } const used{last_used_};
  const std::uint64_t since = Disconnects();
  try {
    return operation();
  } catch (...) {
    current_path_.reset();
    if (Disconnects() != since) throw ETerminated();
    throw;
  }
}

}  // namespace ravelo
