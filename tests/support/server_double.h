#pragma once

// A server double for the synchronized nodes: keeps a remote tree in memory
// and behaves towards the nodes as the real server does (missing folders
// are made on the way in, a file missing from its folder's listing is an
// EFileNotFound of the remote side, downloads fill a hidden temporary file
// and replace the local copy only when complete). Records each call as
// "download docs/a.txt" and can be told to fail a given call. Like the real
// server it reads the side it replaces again just before (TSynFile's
// transfer re-check), records the downloaded copy's time as written, and
// reaches the local disk without following links.
// Header only; link ravelo_sync.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "model/node.h"
#include "model/server.h"
#include "model/server_assigner.h"
#include "model/time_info.h"
#include "model/waiter.h"
#include "net/ftp_exceptions.h"
#include "platform/file_time.h"
#include "support/tree_doubles.h"
#include "sync/download_temp_file.h"
#include "sync/local_files.h"
#include "sync/local_path.h"
#include "sync/syn_file.h"
#include "sync/sync_errors.h"

namespace ravelo::test {

// The no-connection error as the server layer raises it: RefreshRemote
// takes it for a missing remote side.
class TServerUnavailableDouble : public std::runtime_error, public IServerUnavailableError {
 public:
  TServerUnavailableDouble() : std::runtime_error("Server Is Not Available") {}
};

class TServerDouble : public IServer {
 public:
  struct TEntry {
    bool folder = false;
    std::string content;
    TDateTime time = 0;
  };

  // local_root: where downloads go (the project's local root).
  explicit TServerDouble(std::string local_root) : local_root_(std::move(local_root)) {}

  // --- The remote tree (paths relative to the remote root, "/" between
  // names); missing folders above are made.
  void AddFolder(const std::string& path) {
    std::lock_guard lock(mutex_);
    MakeFolders(path);
  }
  void AddFile(const std::string& path, std::string content, TDateTime time) {
    std::lock_guard lock(mutex_);
    MakeFolders(ParentOf(path));
    entries_[path] = TEntry{false, std::move(content), time};
  }
  // An entry listed as it is in the folder's listing, whatever its name.
  void AddRawListingEntry(const std::string& folder, std::string name, bool is_folder,
                          TDateTime time = 1) {
    std::lock_guard lock(mutex_);
    raw_entries_.push_back({folder, std::move(name), is_folder, time});
  }
  bool Exists(const std::string& path) const {
    std::lock_guard lock(mutex_);
    return path.empty() || entries_.count(path) != 0;
  }
  TEntry Entry(const std::string& path) const {
    std::lock_guard lock(mutex_);
    return entries_.at(path);
  }
  // The time the next upload is given; each upload moves it on a minute.
  void SetClock(TDateTime time) {
    std::lock_guard lock(mutex_);
    clock_ = time;
  }
  // Every call throws TServerUnavailableDouble while disconnected.
  void SetConnected(bool connected) {
    std::lock_guard lock(mutex_);
    connected_ = connected;
  }
  // The next call recorded as event throws error. A failing download has
  // written half the file by then.
  void FailOn(const std::string& event, std::exception_ptr error) {
    std::lock_guard lock(mutex_);
    failures_[event] = std::move(error);
  }
  static std::exception_ptr ReplyError(int code = 550) {
    return std::make_exception_ptr(EFtpReplyError(std::to_string(code) + " Refused.\n", code));
  }

  TEventLog log;
  // Runs at the start of each call, in the caller's thread and without the
  // double's lock, with the event the call is recorded as ("download
  // docs/a.txt"): a test makes the server slow or changes the world
  // meanwhile. Set before any operation starts.
  std::function<void(const std::string& event)> on_call;
  // Runs just after a download put its copy in place ("download a.txt").
  std::function<void(const std::string& event)> after_commit;

  // --- IServer
  TRemoteFileInfo GetFileInfo(TNode& file) override {
    Announce("info", file);
    std::lock_guard lock(mutex_);
    const std::string path = Begin("info", file);
    // The folder's listing, found by exact name; a folder of that name
    // serves as well.
    const auto found = entries_.find(path);
    if (!IsFolder(ParentOf(path)) || found == entries_.end()) throw EFileNotFound(file, true);
    return TRemoteFileInfo{found->second.time,
                           static_cast<std::int64_t>(found->second.content.size())};
  }
  bool FolderExists(TNode& folder) override {
    Announce("exists", folder);
    std::lock_guard lock(mutex_);
    return IsFolder(Begin("exists", folder));
  }
  void Download(TNode& file) override {
    Announce("download", file);
    std::unique_lock lock(mutex_);
    const std::string path = Begin("download", file, /*fail_now=*/false);
    MakeFolders(ParentOf(path));
    const auto found = entries_.find(path);
    if (found == entries_.end() || found->second.folder)
      throw EFtpReplyError("550 No file.\n", 550);
    const std::string content = found->second.content;
    const auto failure = TakeFailure("download " + path);
    lock.unlock();
    TDownloadTempFile temp(local_root_, RelativeLocalPath(file));
    if (failure) {
      temp.Write(content.substr(0, content.size() / 2));
      std::rethrow_exception(failure);
    }
    temp.Write(content);
    struct stat written {};
    ::fstat(temp.Descriptor(), &written);
    auto* synced = dynamic_cast<TSynFile*>(&file);
    if (synced != nullptr) synced->CheckLocalUnchanged();
    temp.Commit();
    if (synced != nullptr)
      synced->SetDownloadedCopy({FileTimeToDateTime(written.st_mtim), written.st_size});
    if (after_commit) after_commit("download " + path);
  }
  void Upload(TNode& file) override {
    Announce("upload", file);
    std::unique_lock lock(mutex_);
    const std::string path = Begin("upload", file);
    std::optional<TRemoteFileInfo> listed;
    if (const auto found = entries_.find(path); found != entries_.end() && !found->second.folder)
      listed = TRemoteFileInfo{found->second.time,
                               static_cast<std::int64_t>(found->second.content.size())};
    lock.unlock();
    if (auto* synced = dynamic_cast<TSynFile*>(&file)) synced->CheckRemoteUnchanged(listed);
    const int fd = OpenLocalFileForReading(local_root_, RelativeLocalPath(file));
    std::string content;
    char buffer[4096];
    for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;)
      content.append(buffer, static_cast<size_t>(got));
    ::close(fd);
    lock.lock();
    MakeFolders(ParentOf(path));
    entries_[path] = TEntry{false, std::move(content), clock_};
    clock_ += 1.0 / 1440;
  }
  void DeleteFile(TNode& file) override {
    Announce("delete", file);
    std::lock_guard lock(mutex_);
    const std::string path = Begin("delete", file);
    const auto found = entries_.find(path);
    if (found == entries_.end() || found->second.folder)
      throw EFtpReplyError("550 No file.\n", 550);
    entries_.erase(found);
  }
  void DeleteFolder(TNode& folder) override {
    Announce("rmdir", folder);
    std::lock_guard lock(mutex_);
    const std::string path = Begin("rmdir", folder);
    if (!IsFolder(path) || path.empty() || !Children(path).empty())
      throw EFtpReplyError("550 Cannot remove.\n", 550);
    entries_.erase(path);
  }
  std::shared_ptr<ITimeInfo> ListFolder(TNode& folder) override {
    Announce("list", folder);
    std::lock_guard lock(mutex_);
    const std::string path = Begin("list", folder);
    MakeFolders(path);
    auto listing = std::make_shared<TTimeInfo>();
    for (const auto& [child, entry] : Children(path)) {
      const std::string name = child.substr(path.empty() ? 0 : path.size() + 1);
      if (entry->folder)
        listing->AddFolder(name);
      else
        listing->AddFile(name).SetInfo(static_cast<std::int64_t>(entry->content.size()),
                                       entry->time);
    }
    for (const auto& raw : raw_entries_) {
      if (raw.folder != path) continue;
      if (raw.is_folder)
        listing->AddFolder(raw.name);
      else
        listing->AddFile(raw.name).SetInfo(1, raw.time);
    }
    return listing;
  }
  void Rename(TNode& node, const std::string& new_name) override {
    Announce("rename", node, " " + new_name);
    std::lock_guard lock(mutex_);
    const std::string path = Begin("rename", node, true, " " + new_name);
    if (entries_.count(path) == 0) throw EFtpReplyError("550 No such entry.\n", 550);
    const std::string parent = ParentOf(path);
    const std::string target = parent.empty() ? new_name : parent + "/" + new_name;
    std::map<std::string, TEntry> moved;
    for (auto it = entries_.begin(); it != entries_.end();) {
      if (it->first == path || it->first.starts_with(path + "/")) {
        moved[target + it->first.substr(path.size())] = it->second;
        it = entries_.erase(it);
      } else {
        ++it;
      }
    }
    entries_.merge(moved);
  }
  void MakeFolder(TNode& folder) override {
    Announce("mkdir", folder);
    std::lock_guard lock(mutex_);
    MakeFolders(Begin("mkdir", folder));
  }

  static std::string RemotePath(const TNode& node) {
    std::string path = node.GetPath();
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
  }

 private:
  struct TRawEntry {
    std::string folder;
    std::string name;
    bool is_folder;
    TDateTime time;
  };

  void Announce(const std::string& call, const TNode& node, const std::string& extra = {}) {
    if (on_call) on_call(call + " " + RemotePath(node) + extra);
  }
  // Records the call and throws a failure set for it; mutex_ held.
  std::string Begin(const std::string& call, const TNode& node, bool fail_now = true,
                    const std::string& extra = {}) {
    const std::string path = RemotePath(node);
    log.Add(call + " " + path + extra);
    if (!connected_) throw TServerUnavailableDouble();
    if (fail_now)
      if (auto failure = TakeFailure(call + " " + path)) std::rethrow_exception(failure);
    return path;
  }
  std::exception_ptr TakeFailure(const std::string& event) {
    const auto found = failures_.find(event);
    if (found == failures_.end()) return nullptr;
    auto failure = found->second;
    failures_.erase(found);
    return failure;
  }
  static std::string ParentOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
  }
  bool IsFolder(const std::string& path) const {
    if (path.empty()) return true;
    const auto found = entries_.find(path);
    return found != entries_.end() && found->second.folder;
  }
  void MakeFolders(const std::string& path) {
    if (path.empty() || IsFolder(path)) return;
    MakeFolders(ParentOf(path));
    entries_[path] = TEntry{true, {}, 0};
  }
  std::vector<std::pair<std::string, const TEntry*>> Children(const std::string& path) const {
    std::vector<std::pair<std::string, const TEntry*>> children;
    for (const auto& [key, entry] : entries_)
      if (key != path && ParentOf(key) == path) children.emplace_back(key, &entry);
    return children;
  }

  const std::string local_root_;
  mutable std::mutex mutex_;
  std::map<std::string, TEntry> entries_;               // mutex_; every folder and file
  std::vector<TRawEntry> raw_entries_;                  // mutex_
  std::map<std::string, std::exception_ptr> failures_;  // mutex_
  bool connected_ = true;                               // mutex_
  TDateTime clock_ = 45000;                             // mutex_
};

// Gives every waiter that asks the same server at once (the double serves
// any number of callers), and installs itself for its lifetime.
class TGrantingAssigner : public IServerAssigner {
 public:
  explicit TGrantingAssigner(std::shared_ptr<IServer> server) : server_(std::move(server)) {
    SetServerAssigner(this);
  }
  ~TGrantingAssigner() override { SetServerAssigner(nullptr); }
  TGrantingAssigner(const TGrantingAssigner&) = delete;
  TGrantingAssigner& operator=(const TGrantingAssigner&) = delete;

  void AssignServer(TWaiter& waiter) override {
    if (on_assign) on_assign();
    waiter.SetServer(server_);
  }

  // Runs in the waiter's thread before the server is granted: what happens
  // while an operation waits for its turn. Set before any operation starts.
  std::function<void()> on_assign;

 private:
  std::shared_ptr<IServer> server_;
};

}  // namespace ravelo::test
