#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "device/connection_watcher.h"
#include "device/file_watcher.h"
#include "model/owned_object.h"
#include "model/presence_watcher.h"
#include "sync/syn_device.h"

namespace ravelo {

class TSynFolder;

// The synchronization device of one project: what ties its node tree to the
// world outside. It answers the nodes' questions about the local disk
// (ISynDevice), keeps the folder the user opened last, watches the local
// folders of the tree for changes (IPresenceWatcher, TFileWatcher) and feeds
// each change into the tree, and tells a connection watcher what happens;
// the connection threads and the servers join it later.
//
// Local paths: the local root, "/" and the node's path with "/" for "\".
//
// Lifetime: made by the project after its root, freed before the root. The
// constructor attaches the device to every node of the tree as its presence
// watcher (nodes made later copy it from their parent); the destructor
// stops the folder watcher, serving main-thread hand-overs while it waits
// for its thread, then detaches the device again.
//
// Local disk: every access goes from the local root one name at a time
// (TLocalFolder) and follows no symbolic link below it; listings leave links
// out, and no delete acts through one.
//
// Threads: the constructor, the destructor, FolderChanged and
// UploadFreshInCurrentFolder in the main thread; the ISynDevice and
// IPresenceWatcher operations in any thread (worker threads, the main
// thread, the connect thread). mutex_ guards current_folder_ and watcher_,
// and orders Watch and Unwatch; it is taken before the file watcher's lock
// and the tree's structure lock, and no hold is dropped under it (a freed
// folder's children call Unwatch). The local-disk operations share no
// state.
class TSynDevice : public TOwnedObject, public ISynDevice, public IPresenceWatcher {
 public:
  // local_root: the project's folder, without a trailing "/";
  // project_file_name: the name of the project file, which no listing shows.
  TSynDevice(TSynFolder& root, std::string local_root, std::string project_file_name,
             TWatchOptions watch_options = {});
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

  // The folder the user opened last; the root at first. A folder that is
  // no longer in the tree is not made current. Main thread (it is never a
  // node that has left the tree: leaving calls Unwatch first).
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
  // Whether the servers are connected (or wanted). Main thread. False until
  // the device has servers.
  virtual bool IsConnected() const { return false; }

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

  TSynFolder& root_;  // the project's; outlives the device
  const std::string local_root_;
  const std::string project_file_name_;
  std::atomic<bool> auto_upload_fresh_{true};

  mutable std::mutex mutex_;
  TSynFolder* current_folder_;                   // mutex_; in the tree when set
  std::shared_ptr<IConnectionWatcher> watcher_;  // mutex_
  // Its table holds the folders to watch, each in the tree when added.
  std::unique_ptr<TFileWatcher> file_watcher_;
};

}  // namespace ravelo
