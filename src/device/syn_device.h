#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>

#include "device/connection_thread.h"
#include "device/connection_watcher.h"
#include "device/file_watcher.h"
#include "device/keep_alive.h"
#include "model/owned_object.h"
#include "model/presence_watcher.h"
#include "model/server_assigner.h"
#include "sync/device_interface.h"
#include "sync/server.h"

namespace ravelo {

class TSynFolder;

// Progress figures for the window's transfer progress bar.
struct TTransferProgress {
  // Bytes moved by both transfer servers since they were made.
  std::int64_t Position = 0;
  // The most bytes the transfers queued so far were expected to move.
  std::int64_t Total = 0;
};

// The synchronization device of one project: what ties its node tree to the
// world outside. It owns three servers and queues every worker thread that
// needs one on the right one (IServerAssigner): file transfers on the ASCII
// or the binary server by the extension's transfer type, everything else on
// the general server. It connects and disconnects them in threads of their
// own (TConnector, TDisconnector) and tells a connection watcher what
// happens. It answers the nodes' questions about the local disk
// (ISynDevice), keeps the folder the user opened last, watches the local
// folders of the tree for changes (IPresenceWatcher, TFileWatcher) and feeds
// each change into the tree.
//
// Local paths: the local root, "/" and the node's path with "/" for "\".
//
// Lifetime: made by the project after its root, freed before the root. The
// constructor attaches the device to every node of the tree as its presence
// watcher (nodes made later copy it from their parent). The project
// installs the device as the server assigner while it is open; the
// destructor uninstalls it if it is still installed. The destructor
// disconnects the servers (their queued waiters end as terminated), waits
// for a connect or disconnect thread still running and for the folder
// watcher's thread, serving main-thread hand-overs meanwhile (their end
// handlers then do nothing), then detaches the device from the tree.
//
// Local disk: every access goes from the local root one name at a time
// (TLocalFolder) and follows no symbolic link below it; listings leave links
// out, and no delete acts through one.
//
// Threads:
// - Main thread: the constructor, the destructor, IsConnected, Connect,
//   Disconnect, GetProgress, CurrentFolder, FolderChanged,
//   UploadFreshInCurrentFolder, SetWatcher, and the end handlers of the
//   connection threads (ConnectorDone, DisconnectorDone).
// - Connect thread: DoConnect (forgetting the remote tree, connecting, the
//   local scan); disconnect thread: DoDisconnect.
// - Worker threads: AssignServer (with GetProgress and the watcher's
//   TransfersEnded and TransfersStarted); any thread: the ISynDevice and
//   IPresenceWatcher operations.
// Locks: mutex_ guards current_folder_ and watcher_, and orders Watch and
// Unwatch; it is taken before the file watcher's lock and the tree's
// structure lock, and no hold is dropped under it (a freed folder's
// children call Unwatch). transfers_mutex_ makes the test for idle transfer
// servers, the queuing of a transfer and the watcher's TransfersEnded and
// TransfersStarted one step; it is taken before mutex_ and the servers'
// queue locks. connector_, disconnector_ and the two running flags belong
// to the main thread. The local-disk operations share no state.
class TSynDevice : public TOwnedObject,
                   public ISynDevice,
                   public IPresenceWatcher,
                   public IServerAssigner {
 public:
  // local_root: the project's folder, without a trailing "/";
  // project_file_name: the name of the project file, which no listing shows;
  // client_settings: the FTP client settings of the three servers, all but
  // those each connect reads from the open project's site (TServer);
  // keep_alive_idle: a server connection idle this long sends NOOP.
  TSynDevice(TSynFolder& root, std::string local_root, std::string project_file_name,
             const TFtpSettings& client_settings = TServer::DefaultClientSettings(),
             TWatchOptions watch_options = {},
             std::chrono::milliseconds keep_alive_idle = std::chrono::minutes(1));
  ~TSynDevice() override;

  TLocalFileInfo GetLocalInfo(TNode& node) override;
  std::shared_ptr<ITimeInfo> ListLocal(TSynFolder& folder) override;
  bool LocalFolderExists(TSynFolder& folder) override;
  void DeleteLocalFile(TNode& node) override;
  void RemoveLocalFolder(TSynFolder& folder) override;
  void SetCurrentFolder(TSynFolder& folder) override;
  bool IsReservedName(std::string_view name, bool folder) const override;

  // A folder in the tree whose local side is known present is watched; any
  // other folder that is told is not.
  void Watch(TNode& node) override;
  // The node and the folders below it are no longer watched. When it is
  // the current folder or holds it, its folder becomes current (the root
  // when that has left the tree too) and is opened.
  void Unwatch(TNode& node) override;

  // The folder the user opened last; the root at first. Never a folder
  // that has left the tree or is leaving it: then the nearest folder above
  // it still in the tree (which its Unwatch makes current and opens).
  // Main thread.
  TSynFolder& CurrentFolder() const;
  // Watch was told and neither Unwatch nor an absent local side since
  // (whether or not the system could watch it).
  bool IsWatched(const TNode& node) const;

  // Receives connection, transfer and watch events; a TNilWatcher at
  // first. The window sets itself (main thread); none sets a TNilWatcher.
  void SetWatcher(std::shared_ptr<IConnectionWatcher> watcher);
  std::shared_ptr<IConnectionWatcher> Watcher() const;

  // After a local change, synchronize the fresh files of the current
  // folder while connected. On at first.
  void SetAutoUploadFresh(bool on) { auto_upload_fresh_.store(on); }
  bool AutoUploadFresh() const { return auto_upload_fresh_.load(); }

  // --- Connection (main thread) -----------------------------------------
  // All three servers are connected or wanted: from the moment a connect
  // thread has told them to connect (before its local scan ends) until a
  // disconnect begins.
  bool IsConnected() const;
  // The general server's connection is encrypted, control and data (FTP
  // over TLS): false for a plain connection, also one made under "Use TLS
  // if offered", which the window and ravelo-cli show as such. Any thread.
  bool Encrypted() const { return general_server_->Encrypted(); }
  // Starts a connect thread unless connected or one runs: it forgets the
  // remote side of the tree, connects the general server (the transfer
  // servers connect on first use) and scans the local tree; then the
  // watcher hears Connected and the current folder is opened, or
  // ConnectFailed with the error itself (a certificate that does not
  // verify: EFtpCertificateRejected, whose Fingerprint the user may
  // accept; a server that no longer offers TLS: EFtpTlsRequired).
  void Connect();
  // Starts a disconnect thread when connected and none runs: it forgets the
  // remote side of the tree and disconnects the three servers, whose queued
  // waiters end as terminated (no node shows an error for them); then the
  // progress base follows the bytes moved, the watcher hears TransfersEnded
  // and Disconnected, and the current folder is opened.
  void Disconnect();

  // --- Servers --------------------------------------------------------
  // Worker thread whose operation needs a server: queues the waiter.
  // An open, synchronize or upload-fresh of a file is a transfer: when
  // neither transfer server had work, the watcher hears TransfersEnded and
  // TransfersStarted (in this thread) before it is queued, and the progress
  // total grows by the bytes it will move.
  void AssignServer(TWaiter& waiter) override;
  // Position is what both transfer servers moved; Total follows it when it
  // overtakes it (it never falls). With both transfer servers idle the
  // watcher hears TransfersEnded. Main thread (the window's progress
  // timer) and AssignServer.
  TTransferProgress GetProgress();
  IServerControl& GeneralServer() const { return *general_server_; }
  IServerControl& AsciiServer() const { return *ascii_server_; }
  IServerControl& BinaryServer() const { return *binary_server_; }

  // Main thread, for the folder watcher: lists the folder and merges the
  // listing; tells the display of the current folder when that is the
  // folder or lies below it; then, with AutoUploadFresh and a connection,
  // UploadFreshInCurrentFolder. A folder no longer watched is left alone.
  void FolderChanged(TSynFolder& folder);
  // Main thread: synchronizes every child of the current folder that is
  // "Fresh" and present on the server (not the children's children).
  void UploadFreshInCurrentFolder();

  TFileWatcher& FileWatcher() { return *file_watcher_; }
  const std::string& LocalRoot() const { return local_root_; }

 private:
  void AttachTree(TNode& node);
  static void DetachTree(TNode& node);
  void DoConnect();
  void ScanLocalTree(TSynFolder& folder);
  void ConnectorDone(const std::exception_ptr& error);
  void DoDisconnect();
  // Any thread: their queued waiters end as terminated.
  void DisconnectServers();
  void DisconnectorDone();
  TTransferProgress GetProgressLocked();

  TSynFolder& root_;  // the project's; outlives the device
  const std::string local_root_;
  const std::string project_file_name_;
  std::atomic<bool> auto_upload_fresh_{true};
  // Set first thing by the destructor: the connection threads stop early
  // and their end handlers do nothing, and no waiter is queued any more.
  std::atomic<bool> closing_{false};

  const std::shared_ptr<IServerControl> general_server_;
  const std::shared_ptr<IServerControl> ascii_server_;
  const std::shared_ptr<IServerControl> binary_server_;

  mutable std::mutex mutex_;
  TSynFolder* current_folder_;                   // mutex_; in the tree when set
  std::shared_ptr<IConnectionWatcher> watcher_;  // mutex_

  std::mutex transfers_mutex_;
  std::atomic<std::int64_t> transfer_total_{0};  // changed under transfers_mutex_
  std::atomic<int> assigning_{0};                // AssignServer calls running

  std::unique_ptr<TConnector> connector_;        // main thread
  std::unique_ptr<TDisconnector> disconnector_;  // main thread
  bool connecting_ = false;                      // main thread; connector_ runs
  bool disconnecting_ = false;                   // main thread; disconnector_ runs

  // Its table holds the folders to watch, each in the tree when added.
  std::unique_ptr<TFileWatcher> file_watcher_;
  // Stopped by the destructor right after it disconnects the servers.
  std::unique_ptr<TKeepAlive> keep_alive_;
};

}  // namespace ravelo
