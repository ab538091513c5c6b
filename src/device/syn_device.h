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
// Threads: the constructor and destructor in the main thread; the ISynDevice
// and IPresenceWatcher operations in any thread (worker threads, the main
// thread, the connect thread). mutex_ guards current_folder_ and watched_;
// the local-disk operations share no state.
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

  // A folder whose local side is known present is watched; any other node
  // that is told is not.
  void Watch(TNode& node) override;
  // When the node is the current folder or holds it, its folder becomes
  // current.
  void Unwatch(TNode& node) override;

  // The folder the user opened last; the root at first. Main thread (it is
  // never a node that has left the tree: leaving calls Unwatch first).
  TSynFolder& CurrentFolder() const;
  bool IsWatched(const TNode& node) const;

  const std::string& LocalRoot() const { return local_root_; }
  std::string LocalPathOf(const TNode& node) const;

 private:
  void AttachTree(TNode& node);
  static void DetachTree(TNode& node);

  TSynFolder& root_;  // the project's; outlives the device
  const std::string local_root_;
  const std::string project_file_name_;

  mutable std::mutex mutex_;
  TSynFolder* current_folder_;                // mutex_; a node of the tree
  std::unordered_set<const TNode*> watched_;  // mutex_; nodes of the tree
};

}  // namespace ravelo
