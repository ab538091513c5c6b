#include "device/file_watcher.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <optional>
#include <system_error>

#include "device/connection_thread.h"
#include "model/node.h"
#include "model/tree_errors.h"
#include "platform/main_thread.h"
#include "sync/local_folder.h"
#include "sync/local_path.h"
#include "sync/syn_folder.h"

namespace ravelo {

namespace {

// Names created, deleted and moved in or out (an editor's rename over the
// old file is a move in), writes closed, attributes; IN_MODIFY tells which
// files are still being written. The folder itself going away ends its
// watch (IN_IGNORED follows). Unlinked files still open report nothing.
constexpr std::uint32_t kWatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                     IN_ATTRIB | IN_CLOSE_WRITE | IN_MODIFY | IN_DELETE_SELF |
                                     IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;

std::string Reason(int error) {
  if (error == ENOSPC) return "Watch Limit Reached";
  return std::generic_category().message(error);
}

}  // namespace

TFileWatcher::TFileWatcher(std::string local_root, std::function<void(TSynFolder&)> changed,
                           std::function<void(const std::string&)> failed, TWatchOptions options)
    : local_root_(std::move(local_root)),
      changed_(std::move(changed)),
      failed_(std::move(failed)),
      options_(options) {
  // Without an instance nothing is watched, and each folder says so; the
  // project still opens.
  inotify_fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (inotify_fd_ < 0) init_error_ = errno;
  wake_fd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wake_fd_ < 0) {
    const int error = errno;
    if (inotify_fd_ >= 0) ::close(inotify_fd_);
    throw std::system_error(error, std::generic_category());
  }
  thread_ = std::thread([this] { Run(); });
}

TFileWatcher::~TFileWatcher() {
  Stop();
  if (inotify_fd_ >= 0) ::close(inotify_fd_);
  ::close(wake_fd_);
}

void TFileWatcher::Stop() {
  terminated_.store(true);
  Wake();
  // The thread may be waiting for a hand-over to run in this thread.
  JoinServingHandOvers(thread_, ended_);
}

void TFileWatcher::Wake() {
  const std::uint64_t one = 1;
  // A full counter already wakes the thread.
  [[maybe_unused]] const ssize_t written = ::write(wake_fd_, &one, sizeof one);
}

// ---------------------------------------------------------------------------
// The table

void TFileWatcher::Watch(TSynFolder& folder) {
  std::lock_guard lock(mutex_);
  TEntry& entry = folders_[&folder];
  entry.folder = &folder;
  if (entry.wd >= 0) return;
  AddWatchLocked(entry, /*report_gone=*/true);
  // A folder listed before that comes back (made again after it was gone)
  // may hold files written before its watch was in place: once the watch
  // is, it is listed again like a changed one, so none of them is missed.
  if (entry.wd >= 0 && folder.LocalListed()) {
    MarkChangedLocked(entry, Clock::now());
    Wake();
  }
}

void TFileWatcher::Unwatch(const TNode& node, bool with_descendants) {
  std::lock_guard lock(mutex_);
  if (!with_descendants) {
    const auto found = folders_.find(&node);
    if (found == folders_.end()) return;
    DropWatchLocked(found->second);
    folders_.erase(found);
    return;
  }
  for (auto it = folders_.begin(); it != folders_.end();) {
    if (it->first == &node || it->first->IsDescendantOf(node)) {
      DropWatchLocked(it->second);
      it = folders_.erase(it);
    } else {
      ++it;
    }
  }
}

void TFileWatcher::AddWatchLocked(TEntry& entry, bool report_gone) {
  std::string relative;
  try {
    relative = RelativeLocalPath(*entry.folder);
  } catch (const ETerminated&) {
    return;  // it has left the tree; its Unwatch follows
  }
  const int error = AddWatchErrorLocked(entry, relative);
  if (error == 0 || (!report_gone && (error == ENOENT || error == ENOTDIR))) return;
  if (entry.failure_told) return;
  entry.failure_told = true;
  const std::string shown = relative.empty() ? local_root_ : local_root_ + "/" + relative;
  failures_.push_back("Can't Watch Folder '" + shown + "': " + Reason(error));
  Wake();
}

int TFileWatcher::AddWatchErrorLocked(TEntry& entry, const std::string& relative) {
  if (inotify_fd_ < 0) return init_error_;
  if (options_.max_watches > 0 && by_wd_.size() >= static_cast<std::size_t>(options_.max_watches))
    return ENOSPC;
  try {
    // Reached one name at a time without following a link, then watched
    // through its descriptor: a link never leads the watch out of the
    // local cache.
    const std::optional<TLocalFolder> folder = TLocalFolder::OpenIfThere(local_root_, relative);
    if (!folder) return ENOENT;
    const std::string by_fd = "/proc/self/fd/" + std::to_string(folder->Fd());
    int wd = ::inotify_add_watch(inotify_fd_, by_fd.c_str(), kWatchMask);
    if (wd < 0 && errno == ENOENT)  // no /proc: the path, its last name not followed
      wd = ::inotify_add_watch(inotify_fd_, (local_root_ + "/" + relative).c_str(),
                               kWatchMask | IN_DONT_FOLLOW);
    if (wd < 0) return errno;
    entry.wd = wd;
    entry.failure_told = false;
    by_wd_[wd].push_back(&entry);
    return 0;
  } catch (const std::system_error& failure) {
    return failure.code().value();
  }
}

void TFileWatcher::DropWatchLocked(TEntry& entry) {
  pending_.erase(&entry);
  if (entry.wd < 0) return;
  const auto found = by_wd_.find(entry.wd);
  if (found != by_wd_.end()) {
    std::erase(found->second, &entry);
    // Two folders of one directory share the watch; it goes with the last.
    if (found->second.empty()) {
      ::inotify_rm_watch(inotify_fd_, entry.wd);
      by_wd_.erase(found);
    }
  }
  entry.wd = -1;
}

bool TFileWatcher::IsWatched(const TNode& node) const {
  std::lock_guard lock(mutex_);
  return folders_.count(&node) != 0;
}

bool TFileWatcher::HasWatch(const TNode& node) const {
  std::lock_guard lock(mutex_);
  const auto found = folders_.find(&node);
  return found != folders_.end() && found->second.wd >= 0;
}

int TFileWatcher::WatchCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(by_wd_.size());
}

bool TFileWatcher::IsQuiet() const {
  std::lock_guard lock(mutex_);
  int unread = 0;
  if (inotify_fd_ >= 0) ::ioctl(inotify_fd_, FIONREAD, &unread);
  return pending_.empty() && !handing_over_ && failures_.empty() && unread == 0;
}

bool TFileWatcher::IsHandingOver() const {
  std::lock_guard lock(mutex_);
  return handing_over_;
}

// ---------------------------------------------------------------------------
// The watcher thread

void TFileWatcher::Run() {
  try {
    Loop();
  } catch (const std::exception& error) {
    // It never ends silently.
    const std::string message = std::string("Folders Are No Longer Watched: ") + error.what();
    try {
      HandOver([&] { failed_(message); });
    } catch (...) {
    }
  } catch (...) {
  }
  ended_.store(true);
}

void TFileWatcher::Loop() {
  while (!terminated_.load()) {
    int timeout = -1;
    {
      std::lock_guard lock(mutex_);
      if (next_wake_ != Clock::time_point::max()) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(next_wake_ - Clock::now()).count();
        timeout = static_cast<int>(std::clamp<decltype(left)>(left, 0, INT_MAX));
      }
    }
    pollfd fds[2] = {{wake_fd_, POLLIN, 0}, {inotify_fd_, POLLIN, 0}};
    if (::poll(fds, inotify_fd_ >= 0 ? 2 : 1, timeout) < 0 && errno != EINTR)
      throw std::system_error(errno, std::generic_category());
    std::uint64_t wakes = 0;
    [[maybe_unused]] const ssize_t drained = ::read(wake_fd_, &wakes, sizeof wakes);
    if (terminated_.load()) return;
    ReportFailures();
    HandOnSettled();
  }
}

void TFileWatcher::ReadEventsLocked() {
  if (inotify_fd_ < 0) return;
  alignas(inotify_event) char buffer[16 * 1024];
  const Clock::time_point now = Clock::now();
  for (;;) {
    const ssize_t got = ::read(inotify_fd_, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return;  // all read (EAGAIN)
    for (const char* at = buffer; at < buffer + got;) {
      const auto& event = *reinterpret_cast<const inotify_event*>(at);
      at += sizeof(inotify_event) + event.len;
      if (event.mask & IN_Q_OVERFLOW) {
        // Events were lost: any folder may have changed.
        for (auto& [node, entry] : folders_) MarkChangedLocked(entry, now);
        continue;
      }
      const auto found = by_wd_.find(event.wd);
      if (found == by_wd_.end()) continue;  // a watch already dropped
      const std::vector<TEntry*> entries = found->second;
      // The directory is gone (or unmounted): listed once more, it shows
      // empty; when it comes back, the hand-over watches it again.
      if (event.mask & IN_IGNORED) by_wd_.erase(found);
      const std::string name = event.len > 0 ? std::string(event.name) : std::string();
      for (TEntry* entry : entries) {
        if (event.mask & IN_IGNORED) entry->wd = -1;
        MarkChangedLocked(*entry, now);
        if (name.empty()) continue;
        if (event.mask & IN_MODIFY) entry->writing[name] = now;
        if (event.mask & (IN_CLOSE_WRITE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO))
          entry->writing.erase(name);
      }
    }
  }
}

void TFileWatcher::MarkChangedLocked(TEntry& entry, Clock::time_point now) {
  entry.held_back = false;
  entry.last_event = now;
  pending_.insert(&entry);
}

void TFileWatcher::CountHoldBackLocked(TEntry& entry) {
  if (entry.held_back) return;
  entry.held_back = true;
  hold_backs_.fetch_add(1);
}

TFileWatcher::TEntry* TFileWatcher::PickSettledLocked(Clock::time_point now) {
  next_wake_ = Clock::time_point::max();
  TEntry* picked = nullptr;
  for (TEntry* entry : pending_) {
    Clock::time_point due = std::max(entry->last_event + options_.settle, entry->not_before);
    if (due <= now) {
      std::erase_if(entry->writing, [&](const auto& written) {
        return written.second + options_.open_write_limit <= now;
      });
      if (!entry->writing.empty()) {
        // Still being written: the next event (its close) starts a new
        // quiet spell; the limit ends the wait otherwise.
        CountHoldBackLocked(*entry);
        due = Clock::time_point::max();
        for (const auto& [name, at] : entry->writing)
          due = std::min(due, at + options_.open_write_limit);
      } else if (picked == nullptr) {
        picked = entry;
        continue;
      }
    }
    next_wake_ = std::min(next_wake_, due);
  }
  return picked;
}

void TFileWatcher::HandOnSettled() {
  while (!terminated_.load()) {
    // Declared before the lock: it is let go of after the lock, since
    // freeing a folder calls Unwatch.
    TNodeHold hold;
    TSynFolder* folder = nullptr;
    {
      std::lock_guard lock(mutex_);
      ReadEventsLocked();
      TEntry* entry = PickSettledLocked(Clock::now());
      if (entry == nullptr) return;
      // In the table, so Unwatch (which comes before the folder can be
      // freed) has not run: the hold comes in time.
      folder = entry->folder;
      hold = TNodeHold(*folder);
      if (folder->IsInProcess() || folder->HasBusyChildren()) {
        entry->not_before = Clock::now() + options_.busy_poll;
        CountHoldBackLocked(*entry);
        continue;
      }
      entry->not_before = {};
      pending_.erase(entry);
      // A watch lost with its directory is taken up again before the
      // listing, so that no change after it is missed.
      if (entry->wd < 0) AddWatchLocked(*entry, /*report_gone=*/false);
      handing_over_ = true;
    }
    HandOver([&] { changed_(*folder); });
    std::lock_guard lock(mutex_);
    reports_.fetch_add(1);
    handing_over_ = false;
  }
}

void TFileWatcher::ReportFailures() {
  std::vector<std::string> failures;
  {
    std::lock_guard lock(mutex_);
    failures.swap(failures_);
  }
  for (const std::string& message : failures) HandOver([&] { failed_(message); });
}

void TFileWatcher::HandOver(const std::function<void()>& fn) {
  MainThread().Synchronize([&] {
    // Once stopping, the owner may be half destroyed.
    if (terminated_.load()) return;
    try {
      fn();
    } catch (const std::exception& error) {
      try {
        failed_(error.what());
      } catch (...) {
      }
    } catch (...) {
    }
  });
}

}  // namespace ravelo
