#include "device/syn_device.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <optional>
#include <stdexcept>
#include <system_error>

#include "model/children_iterator.h"
#include "model/operation_waiters.h"
#include "model/syn_display.h"
#include "model/time_info.h"
#include "platform/file_time.h"
#include "platform/main_thread.h"
#include "sync/download_temp_file.h"
#include "sync/local_folder.h"
#include "sync/local_path.h"
#include "sync/node_name.h"
#include "sync/sticky_server.h"
#include "sync/syn_file.h"
#include "sync/syn_folder.h"
#include "sync/sync_errors.h"
#include "sync/sync_project.h"

namespace ravelo {

namespace {

[[noreturn]] void ThrowSystemError(int error) {
  throw std::system_error(error, std::generic_category());
}

// Closes the directory stream when the listing ends, however it ends.
class TDirectory {
 public:
  // Takes the descriptor over, also when it fails.
  explicit TDirectory(int fd) : dir_(::fdopendir(fd)) {
    if (dir_ == nullptr) {
      const int error = errno;
      ::close(fd);
      errno = error;
    }
  }
  ~TDirectory() {
    if (dir_ != nullptr) ::closedir(dir_);
  }
  TDirectory(const TDirectory&) = delete;
  TDirectory& operator=(const TDirectory&) = delete;
  DIR* Get() const { return dir_; }

 private:
  DIR* dir_;
};

}  // namespace

TSynDevice::TSynDevice(TSynFolder& root, std::string local_root, std::string project_file_name,
                       const TFtpSettings& client_settings, TWatchOptions watch_options,
                       std::chrono::milliseconds keep_alive_idle)
    : root_(root),
      local_root_(std::move(local_root)),
      project_file_name_(std::move(project_file_name)),
      general_server_(std::make_shared<TStickyServer>(true, client_settings)),
      ascii_server_(std::make_shared<TStickyServer>(false, client_settings)),
      binary_server_(std::make_shared<TStickyServer>(false, client_settings)),
      current_folder_(&root),
      watcher_(std::make_shared<TNilWatcher>()),
      file_watcher_(std::make_unique<TFileWatcher>(
          local_root_, [this](TSynFolder& folder) { FolderChanged(folder); },
          [this](const std::string& message) { Watcher()->WatchFailed(message); }, watch_options)),
      keep_alive_(std::make_unique<TKeepAlive>(
          std::vector{general_server_, ascii_server_, binary_server_}, keep_alive_idle)) {
  AttachTree(root_);
}

TSynDevice::~TSynDevice() {
  closing_.store(true);
  if (&ServerAssigner() == this) SetServerAssigner(nullptr);
  // Queued waiters end as terminated, and a connect in progress wakes. A
  // connect thread may only now begin to connect: it is disconnected again
  // until it has ended. Its end handler runs here and does nothing.
  DisconnectServers();
  keep_alive_.reset();
  try {
    IMainThread& main = MainThread();
    while (connecting_ || disconnecting_) {
      main.WaitUntil([this] { return !connecting_ && !disconnecting_; },
                     std::chrono::milliseconds(50));
      DisconnectServers();
    }
    main.WaitUntil([this] { return assigning_.load() == 0; }, std::chrono::seconds(10));
  } catch (const std::logic_error&) {
    // No main thread installed: no end handler can run, nor wait for one.
  }
  connector_.reset();
  disconnector_.reset();
  // The watcher thread next (it may be waiting for a hand-over, served
  // meanwhile): while it runs, the nodes it may hold must still tell the
  // device when they leave the tree.
  file_watcher_->Stop();
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

// ---------------------------------------------------------------------------
// Local disk
//
// Every access goes through TLocalFolder: no symbolic link below the local
// root is followed, so a link never becomes a node, nothing is read through
// one, and no delete acts through one (a link to the home folder would
// otherwise be listed, uploaded and deleted with everything it reaches).

TLocalFileInfo TSynDevice::GetLocalInfo(TNode& node) {
  const std::string relative = RelativeLocalPath(node);
  const auto [folder_path, name] = SplitLastName(relative);
  const std::optional<TLocalFolder> folder = TLocalFolder::OpenIfThere(local_root_, folder_path);
  struct stat status {};
  if (name.empty() || !folder || !folder->Status(name, status) || !S_ISREG(status.st_mode))
    throw EFileNotFound(node, false);
  return TLocalFileInfo{FileTimeToDateTime(status.st_mtim), std::int64_t{status.st_size}};
}

std::shared_ptr<ITimeInfo> TSynDevice::ListLocal(TSynFolder& folder) {
  auto listing = std::make_shared<TTimeInfo>();
  std::optional<TLocalFolder> opened =
      TLocalFolder::OpenIfThere(local_root_, RelativeLocalPath(folder));
  if (!opened) return listing;
  TDirectory directory(opened->Release());
  if (directory.Get() == nullptr) ThrowSystemError(errno);
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
    if (::fstatat(dir_fd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
    // Links, pipes, sockets and devices are left out.
    if (S_ISDIR(status.st_mode)) {
      listing->AddFolder(name);
    } else if (S_ISREG(status.st_mode) && !IsReservedName(name, false)) {
      listing->AddFile(name).SetInfo(std::int64_t{status.st_size},
                                     FileTimeToDateTime(status.st_mtim));
    }
  }
  return listing;
}

bool TSynDevice::LocalFolderExists(TSynFolder& folder) {
  return TLocalFolder::OpenIfThere(local_root_, RelativeLocalPath(folder)).has_value();
}

void TSynDevice::DeleteLocalFile(TNode& node) {
  const std::string relative = RelativeLocalPath(node);
  const auto [folder_path, name_view] = SplitLastName(relative);
  const std::string name(name_view);
  const TLocalFolder folder = TLocalFolder::Open(local_root_, folder_path);
  struct stat file_status {};
  if (!folder.Status(name, file_status)) ThrowSystemError(ENOENT);
  if (S_ISLNK(file_status.st_mode)) ThrowSystemError(ELOOP);
  if (::unlinkat(folder.Fd(), name.c_str(), 0) == 0) return;
  if (errno != EACCES && errno != EPERM) ThrowSystemError(errno);
  // Read-only: the file loses its protection as it would lose a read-only
  // attribute. On this system a file's own bits do not guard it from being
  // deleted, its folder's do, so the folder is opened for the one deletion
  // and closed again.
  ::fchmodat(folder.Fd(), name.c_str(), file_status.st_mode | S_IWUSR, 0);
  struct stat folder_status {};
  const bool folder_opened = ::fstat(folder.Fd(), &folder_status) == 0 &&
                             (folder_status.st_mode & S_IWUSR) == 0 &&
                             ::fchmod(folder.Fd(), folder_status.st_mode | S_IWUSR) == 0;
  const int result = ::unlinkat(folder.Fd(), name.c_str(), 0);
  const int error = errno;
  if (folder_opened) ::fchmod(folder.Fd(), folder_status.st_mode & 07777);
  if (result != 0) ThrowSystemError(error);
}

void TSynDevice::RemoveLocalFolder(TSynFolder& folder) {
  const std::string relative = RelativeLocalPath(folder);
  Unwatch(folder);
  if (relative.empty()) {
    if (::rmdir(local_root_.c_str()) != 0) ThrowSystemError(errno);
    return;
  }
  const auto [parent_path, name] = SplitLastName(relative);
  // AT_REMOVEDIR refuses a link (ENOTDIR): only the folder itself goes.
  const TLocalFolder parent = TLocalFolder::Open(local_root_, parent_path);
  if (::unlinkat(parent.Fd(), std::string(name).c_str(), AT_REMOVEDIR) != 0)
    ThrowSystemError(errno);
}

bool TSynDevice::IsReservedName(std::string_view name, bool folder) const {
  if (IsDownloadTempName(name)) return true;
  // The project file and the twins written beside it (a save's ".new", a
  // lock) hold the password: none is ever listed, uploaded or made by a user.
  if (folder || project_file_name_.empty() || !name.starts_with(project_file_name_)) return false;
  const std::string_view suffix = name.substr(project_file_name_.size());
  return suffix.empty() || suffix == ".new" || suffix == ".lock";
}

// current_folder_ and the file watcher's table only ever name nodes still
// in the tree when they are set, and Unwatch (which every node leaving the
// tree hears before it can be freed) takes them out again under the same
// lock: so they never name a freed node.

void TSynDevice::SetCurrentFolder(TSynFolder& folder) {
  std::lock_guard lock(mutex_);
  // An open that ran while its folder left the tree does not make it current.
  if (folder.IsInTree()) current_folder_ = &folder;
}

TSynFolder& TSynDevice::CurrentFolder() const {
  std::lock_guard lock(mutex_);
  // Between being taken out of the tree and its Unwatch, a folder is still
  // current_folder_: the folder above it that is still in the tree is the
  // one to show, and the one Unwatch makes current. In the main thread the
  // folders on the way up are alive: each is freed only after its removal
  // has been reported here.
  TNode* node = current_folder_;
  while (node != &root_ && !node->IsInTree()) {
    node = node->Parent();
    if (node == nullptr) return root_;
  }
  auto* folder = dynamic_cast<TSynFolder*>(node);
  return folder != nullptr ? *folder : root_;
}

// ---------------------------------------------------------------------------
// Presence

void TSynDevice::Watch(TNode& node) {
  auto* folder = dynamic_cast<TSynFolder*>(&node);
  if (folder == nullptr) return;
  std::lock_guard lock(mutex_);
  // Read under the lock, so that the last call made decides, and never
  // after the node's Unwatch.
  if (node.LocalPresence() == prPresent && node.IsInTree())
    file_watcher_->Watch(*folder);
  else
    file_watcher_->Unwatch(node, /*with_descendants=*/false);
}

void TSynDevice::Unwatch(TNode& node) {
  // Held outside the lock: letting go may free the folder, whose children
  // then come back here.
  const TNodeHold parent = node.ParentHold();
  TSynFolder* opened = nullptr;
  {
    std::lock_guard lock(mutex_);
    file_watcher_->Unwatch(node, dynamic_cast<TBranch*>(&node) != nullptr);
    if (current_folder_ == &node || current_folder_->IsDescendantOf(node)) {
      auto* up = parent.As<TSynFolder>();
      TSynFolder* next = up != nullptr && up->IsInTree() ? up : &root_;
      if (next != current_folder_) opened = current_folder_ = next;
    }
  }
  // The window shows the new current folder once its open has run; the
  // parent hold (or the root, which outlives the device) keeps it alive.
  if (opened != nullptr) opened->Open();
}

bool TSynDevice::IsWatched(const TNode& node) const {
  return file_watcher_->IsWatched(node);
}

// ---------------------------------------------------------------------------
// Connection watcher

void TSynDevice::SetWatcher(std::shared_ptr<IConnectionWatcher> watcher) {
  if (!watcher) watcher = std::make_shared<TNilWatcher>();
  std::lock_guard lock(mutex_);
  watcher_ = std::move(watcher);
}

std::shared_ptr<IConnectionWatcher> TSynDevice::Watcher() const {
  std::lock_guard lock(mutex_);
  return watcher_;
}

// ---------------------------------------------------------------------------
// Connection

bool TSynDevice::IsConnected() const {
  return general_server_->IsConnected() && ascii_server_->IsConnected() &&
         binary_server_->IsConnected();
}

void TSynDevice::Connect() {
  if (closing_.load() || IsConnected() || connecting_) return;
  connector_.reset();  // one that ended: its thread is done or about to be
  connector_ = std::make_unique<TConnector>(
      [this] { DoConnect(); }, [this](std::exception_ptr error) { ConnectorDone(error); });
  connecting_ = true;
}

void TSynDevice::DoConnect() {
  root_.ForgetRemoteTree();
  // The transfer servers only note that a connection is wanted.
  general_server_->Connect();
  ascii_server_->Connect();
  binary_server_->Connect();
  ScanLocalTree(root_);
}

void TSynDevice::ScanLocalTree(TSynFolder& folder) {
  if (closing_.load()) return;
  if (folder.LocalPresence() == prUnknown) folder.RefreshLocal();
  if (folder.LocalPresence() == prPresent) folder.MergeLocalListing(*ListLocal(folder));
  // The iterator holds each child while the scan is in it.
  for (auto it = folder.GetChildren(); !it->Done();) {
    auto* child = dynamic_cast<TSynFolder*>(&it->Next());
    if (child != nullptr && child->LocalPresence() == prPresent) ScanLocalTree(*child);
  }
}

void TSynDevice::ConnectorDone(const std::exception_ptr& error) {
  connecting_ = false;
  if (closing_.load()) return;
  const auto watcher = Watcher();
  if (error) {
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& failure) {
      watcher->ConnectFailed(failure);
    } catch (...) {
      watcher->ConnectFailed(std::runtime_error("Unknown Error"));
    }
    return;
  }
  watcher->Connected();
  CurrentFolder().Open();
}

void TSynDevice::Disconnect() {
  if (closing_.load() || !IsConnected() || disconnecting_) return;
  disconnector_.reset();
  disconnector_ = std::make_unique<TDisconnector>(
      [this] { DoDisconnect(); }, [this](std::exception_ptr) { DisconnectorDone(); });
  disconnecting_ = true;
}

void TSynDevice::DoDisconnect() {
  root_.ForgetRemoteTree();
  DisconnectServers();
}

void TSynDevice::DisconnectServers() {
  general_server_->Disconnect();
  ascii_server_->Disconnect();
  binary_server_->Disconnect();
}

void TSynDevice::DisconnectorDone() {
  disconnecting_ = false;
  if (closing_.load()) return;
  {
    // A new batch of transfers starts from what has been moved.
    std::lock_guard lock(transfers_mutex_);
    transfer_total_.store(binary_server_->GetTransferred() + ascii_server_->GetTransferred());
  }
  const auto watcher = Watcher();
  watcher->TransfersEnded();
  watcher->Disconnected();
  CurrentFolder().Open();
}

// ---------------------------------------------------------------------------
// Servers

void TSynDevice::AssignServer(TWaiter& waiter) {
  struct TCall {
    explicit TCall(std::atomic<int>& calls) : calls_(calls) { calls_.fetch_add(1); }
    ~TCall() { calls_.fetch_sub(1); }
    TCall(const TCall&) = delete;
    TCall& operator=(const TCall&) = delete;
    std::atomic<int>& calls_;
  } const call(assigning_);
  if (!closing_.load()) {
    TNode& node = waiter.Node();
    const bool transfer = dynamic_cast<TSynFile*>(&node) != nullptr &&
                          (dynamic_cast<TOpenWaiter*>(&waiter) != nullptr ||
                           dynamic_cast<TSynchronizeWaiter*>(&waiter) != nullptr ||
                           dynamic_cast<TUploadFreshWaiter*>(&waiter) != nullptr);
    if (transfer) {
      IServerControl& server =
          TransferTypeOf(node.Name()) == ftASCII ? *ascii_server_ : *binary_server_;
      std::lock_guard lock(transfers_mutex_);
      if (!binary_server_->IsBusy() && !ascii_server_->IsBusy())
        Watcher()->TransfersStarted(GetProgressLocked().Position);  // after TransfersEnded
      server.Enqueue(waiter);
      transfer_total_.fetch_add(node.GetTransferSize());
    } else {
      general_server_->Enqueue(waiter);
    }
  }
  // Closing: it ends as terminated. Checked after queuing too, since the
  // destructor's disconnect may have emptied the queues just before.
  if (closing_.load()) waiter.Terminate();
}

TTransferProgress TSynDevice::GetProgress() {
  std::lock_guard lock(transfers_mutex_);
  return GetProgressLocked();
}

TTransferProgress TSynDevice::GetProgressLocked() {
  TTransferProgress progress;
  progress.Position = binary_server_->GetTransferred() + ascii_server_->GetTransferred();
  if (progress.Position > transfer_total_.load()) transfer_total_.store(progress.Position);
  progress.Total = transfer_total_.load();
  if (!binary_server_->IsBusy() && !ascii_server_->IsBusy()) Watcher()->TransfersEnded();
  return progress;
}

// ---------------------------------------------------------------------------
// Local changes

void TSynDevice::FolderChanged(TSynFolder& folder) {
  // Unwatched since the change was seen: gone, or its local side absent.
  // Nor while closing: the project is going away.
  if (closing_.load() || !IsWatched(folder) || !folder.IsInTree()) return;
  folder.MergeLocalListing(*ListLocal(folder));
  TSynFolder& current = CurrentFolder();
  if (&current == &folder || current.IsDescendantOf(folder))
    current.Display()->NodeChanged(current);
  if (AutoUploadFresh() && IsConnected()) UploadFreshInCurrentFolder();
}

void TSynDevice::UploadFreshInCurrentFolder() {
  TSynFolder& current = CurrentFolder();
  for (auto it = current.GetChildren(); !it->Done();) {
    TNode& child = it->Next();
    if (child.GetState() == nsFresh && child.RemotePresence() == prPresent) child.Synchronize();
  }
}

}  // namespace ravelo
