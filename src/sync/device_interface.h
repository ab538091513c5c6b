#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "model/nullable.h"

namespace ravelo {

class ITimeInfo;
class TNode;
class TSynFolder;

// Time and size of a local file.
struct TLocalFileInfo {
  TDateTime Time = 0;
  std::int64_t Size = 0;
};

// What the nodes ask of the synchronization device about the local disk.
// TSynDevice (src/device) implements it; the project hands it out through
// ISyncProject::Device. Called from any thread: worker threads running node
// operations, the main thread reading a node's state, the connect thread.
// Local paths are the project's local root, "/" and the node's path with
// "/" for "\". No symbolic link below the local root is followed: a link is
// neither a file nor a folder here, and a path through one leads nowhere.
class ISynDevice {
 public:
  virtual ~ISynDevice() = default;

  // Time (FileTimeToDateTime) and size of the node's local file; throws
  // EFileNotFound (local side) when there is no regular file at its path.
  virtual TLocalFileInfo GetLocalInfo(TNode& node) = 0;
  // A new listing of the folder's local directory: subfolders, and files
  // with time and size. Empty when the directory does not exist. Leaves out
  // links, the project file, temporary download files and names no node
  // may bear.
  virtual std::shared_ptr<ITimeInfo> ListLocal(TSynFolder& folder) = 0;
  virtual bool LocalFolderExists(TSynFolder& folder) = 0;
  // Deletes the node's local file, making it writable first if it has to;
  // throws std::system_error when the system refuses, or when a link is in
  // the file's place.
  virtual void DeleteLocalFile(TNode& node) = 0;
  // Stops watching the folder, then removes its (empty) local directory;
  // throws std::system_error when the system refuses (a link included).
  virtual void RemoveLocalFolder(TSynFolder& folder) = 0;
  // The folder the user opened last; ignored for a folder that has left
  // the tree meanwhile.
  virtual void SetCurrentFolder(TSynFolder& folder) = 0;
  // Names the local cache keeps for itself: temporary downloads, and for
  // files the project file's name, in every folder. No listing, local or
  // remote, makes a node of them: a server file named like the project file
  // would otherwise be downloaded over it.
  virtual bool IsReservedName(std::string_view name, bool folder) const = 0;
};

}  // namespace ravelo
