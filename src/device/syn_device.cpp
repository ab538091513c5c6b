#include "device/syn_device.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "model/children_iterator.h"
#include "model/time_info.h"
#include "platform/file_time.h"
#include "sync/download_temp_file.h"
#include "sync/local_path.h"
#include "sync/node_name.h"
#include "sync/syn_folder.h"
#include "sync/sync_errors.h"

namespace ravelo {

namespace {

[[noreturn]] void ThrowSystemError(int error) {
  throw std::system_error(error, std::generic_category());
}

// Closes the directory stream when the listing ends, however it ends.
class TDirectory {
 public:
  explicit TDirectory(const std::string& path) : dir_(::opendir(path.c_str())) {}
  ~TDirectory() {
    if (dir_ != nullptr) ::closedir(dir_);
  }
  TDirectory(const TDirectory&) = delete;
  TDirectory& operator=(const TDirectory&) = delete;
  DIR* Get() const { return dir_; }

 private:
  DIR* dir_;
};

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace

TSynDevice::TSynDevice(TSynFolder& root, std::string local_root, std::string project_file_name)
    : root_(root),
      local_root_(std::move(local_root)),
      project_file_name_(std::move(project_file_name)),
      current_folder_(&root) {
  AttachTree(root_);
}

TSynDevice::~TSynDevice() {
  DetachTree(root_);
}

void TSynDevice::AttachTree(TNode& node) {
  node.SetPresenceWatcher(GetInterface<IPresenceWatcher>());
  if (node.LocalPresence() == prPresent) node.PresenceWatcher()->Watch(node);
  for (auto it = node.GetChildren(); !it->Done();) AttachTree(it->Next());
}

void TSynDevice::DetachTree(TNode& node) {
  for (auto it = node.GetChildren(); !it->Done();) DetachTree(it->Next());
  node.SetPresenceWatcher(nullptr);
}

std::string TSynDevice::LocalPathOf(const TNode& node) const {
  return LocalNodePath(local_root_, node);
}

// ---------------------------------------------------------------------------
// Local disk

TLocalFileInfo TSynDevice::GetLocalInfo(TNode& node) {
  struct stat status {};
  if (::stat(LocalPathOf(node).c_str(), &status) != 0 || !S_ISREG(status.st_mode))
    throw EFileNotFound(node, false);
  return TLocalFileInfo{FileTimeToDateTime(status.st_mtim), std::int64_t{status.st_size}};
}

std::shared_ptr<ITimeInfo> TSynDevice::ListLocal(TSynFolder& folder) {
  auto listing = std::make_shared<TTimeInfo>();
  const std::string path = LocalPathOf(folder);
  TDirectory directory(path);
  if (directory.Get() == nullptr) {
    if (errno == ENOENT || errno == ENOTDIR) return listing;
    ThrowSystemError(errno);
  }
  const int dir_fd = ::dirfd(directory.Get());
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(directory.Get());
    if (entry == nullptr) {
      if (errno != 0) ThrowSystemError(errno);
      break;
    }
    const std::string_view name(entry->d_name);
    if (!IsValidNodeName(name) || IsDownloadTempName(name)) continue;
    struct stat status {};
    // Links are followed; one that leads nowhere lists nothing.
    if (::fstatat(dir_fd, entry->d_name, &status, 0) != 0) continue;
    if (S_ISDIR(status.st_mode)) {
      listing->AddFolder(name);
    } else if (S_ISREG(status.st_mode) && !IsReservedName(name, false)) {
      // Pipes, sockets and devices are no files to transfer.
      listing->AddFile(name).SetInfo(std::int64_t{status.st_size},
                                     FileTimeToDateTime(status.st_mtim));
    }
  }
  return listing;
}

bool TSynDevice::LocalFolderExists(TSynFolder& folder) {
  struct stat status {};
  return ::stat(LocalPathOf(folder).c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

void TSynDevice::DeleteLocalFile(TNode& node) {
  const std::string path = LocalPathOf(node);
  if (::unlink(path.c_str()) == 0) return;
  if (errno != EACCES && errno != EPERM) ThrowSystemError(errno);
  // Read-only: the file loses its protection as it would lose a read-only
  // attribute. On this system a file's own bits do not guard it from being
  // deleted, its folder's do, so the folder is opened for the one deletion
  // and closed again.
  struct stat file_status {};
  if (::stat(path.c_str(), &file_status) == 0) ::chmod(path.c_str(), file_status.st_mode | S_IWUSR);
  const std::string folder = FolderOf(path);
  struct stat folder_status {};
  const bool folder_opened = ::stat(folder.c_str(), &folder_status) == 0 &&
                             (folder_status.st_mode & S_IWUSR) == 0 &&
                             ::chmod(folder.c_str(), folder_status.st_mode | S_IWUSR) == 0;
  const int result = ::unlink(path.c_str());
  const int error = errno;
  if (folder_opened) ::chmod(folder.c_str(), folder_status.st_mode & 07777);
  if (result != 0) ThrowSystemError(error);
}

void TSynDevice::RemoveLocalFolder(TSynFolder& folder) {
  const std::string path = LocalPathOf(folder);
  Unwatch(folder);
  if (::rmdir(path.c_str()) != 0) ThrowSystemError(errno);
}

bool TSynDevice::IsReservedName(std::string_view name, bool folder) const {
  return IsDownloadTempName(name) || (!folder && name == project_file_name_);
}

void TSynDevice::SetCurrentFolder(TSynFolder& folder) {
  std::lock_guard lock(mutex_);
  current_folder_ = &folder;
}

TSynFolder& TSynDevice::CurrentFolder() const {
  std::lock_guard lock(mutex_);
  return *current_folder_;
}

// ---------------------------------------------------------------------------
// Presence

void TSynDevice::Watch(TNode& node) {
  const bool watch =
      dynamic_cast<TSynFolder*>(&node) != nullptr && node.LocalPresence() == prPresent;
  std::lock_guard lock(mutex_);
  if (watch)
    watched_.insert(&node);
  else
    watched_.erase(&node);
}

void TSynDevice::Unwatch(TNode& node) {
  std::lock_guard lock(mutex_);
  watched_.erase(&node);
  if (current_folder_ == &node || current_folder_->IsDescendantOf(node)) {
    auto* up = dynamic_cast<TSynFolder*>(node.Parent());
    current_folder_ = up != nullptr ? up : &root_;
  }
}

bool TSynDevice::IsWatched(const TNode& node) const {
  std::lock_guard lock(mutex_);
  return watched_.count(&node) != 0;
}

}  // namespace ravelo
