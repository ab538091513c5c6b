#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>

#include "model/owned_object.h"
#include "model/presence_watcher.h"
#include "sync/syn_device.h"

namespace ravelo {

class TSynFolder;

// The synchronization device of one project: what ties its node tree to the
// world outside. So far it answers the nodes' questions about the local disk
// (ISynDevice), keeps the folder the user opened last and records which
// local folders are to be watched (IPresenceWatcher); the connection
// threads, the servers and the folder watcher join it later.
//
// Local paths: the local root, "/" and the node's path with "/" for "\".
//
// Lifetime: made by the project after its root, freed before the root. The
// constructor attaches the device to every node of the tree as its presence
// watcher (nodes made later copy it from their parent); the destructor
// detaches it again.
//
// Local disk: every access goes from the local root one name at a time
// (TLocalFolder) and follows no symbolic link below it; listings leave links
// out, and no delete acts through one.
//
// Threads: the constructor and destructor in the main thread; the ISynDevice
// and IPresenceWatcher operations in any thread (worker threads, the main
// thread, the connect thread). mutex_ guards current_folder_ and watched_;
// it is taken before the tree's structure lock, and no hold is dropped
// under it (a freed folder's children call Unwatch). The local-disk
// operations share no state.
class TSynDevice : public TOwnedObject, public ISynDevice, public IPresenceWatcher {
 public:
  // local_root: the project's folder, without a trailing "/";
  // project_file_name: the name of the project file, which no listing shows.
  TSynDevice(TSynFolder& root, std::string local_root, std::string project_file_name);
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
  // when that has left the tree too).
  void Unwatch(TNode& node) override;

  // The folder the user opened last; the root at first. A folder that is
  // no longer in the tree is not made current. Main thread (it is never a
  // node that has left the tree: leaving calls Unwatch first).
  TSynFolder& CurrentFolder() const;
  bool IsWatched(const TNode& node) const;

  const std::string& LocalRoot() const { return local_root_; }

 private:
  void AttachTree(TNode& node);
  static void DetachTree(TNode& node);

  TSynFolder& root_;  // the project's; outlives the device
  const std::string local_root_;
  const std::string project_file_name_;

  mutable std::mutex mutex_;
  TSynFolder* current_folder_;                // mutex_; in the tree when set
  std::unordered_set<const TNode*> watched_;  // mutex_; in the tree when added
};

}  // namespace ravelo
