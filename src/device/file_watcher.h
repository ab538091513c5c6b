#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace ravelo {

class TNode;
class TSynFolder;

// How the folder watcher times its reports, and its own watch limit.
struct TWatchOptions {
  // How long a folder must be quiet before its change is handed on.
  // 150 ms: an editor's save sequence takes a few milliseconds to tens
  // of them, so it ends well within it and yields one report; and it
  // leaves about 100 ms of a quarter second for listing, merging and
  // starting the upload, the delay a user accepts between saving and
  // seeing the upload begin.
  std::chrono::milliseconds settle{150};
  // How often a quiet folder whose operations run is looked at again.
  std::chrono::milliseconds busy_poll{50};
  // How long a file written and not closed may hold its folder back.
  std::chrono::milliseconds open_write_limit{5000};
  // At most this many watches (0: as many as the system allows). Lets
  // the limit be reached without changing the system's.
  int max_watches = 0;
};

// Watches the local folders of a project's tree for changes (inotify, one
// watch per folder without its subfolders, as many folders as the system
// allows) and hands each changed folder to the main thread, once:
// - the folder has been quiet for the settle time: an editor's save (new
//   file written, renamed over the old one, attributes set) is one burst
//   of events and gives one report;
// - no file in it is still open for writing: a file that was modified and
//   not closed yet holds its folder back until it is closed (or has not
//   been written to for the open-write limit, so that a program keeping a
//   file open cannot stop the folder from being reported);
// - no operation of the folder or of its children runs (IsInProcess,
//   HasBusyChildren): what an operation does to its own folder is reported
//   once after it, not while it runs.
// A folder that cannot be watched (the watch limit, permissions, gone) is
// skipped and reported through `failed`; the others stay watched.
//
// Watch and Unwatch act at once, in the caller's thread: a change right
// after Watch returns is seen, and after Unwatch the folder's directory may
// be removed. The watcher thread blocks in poll on the inotify descriptor
// and an eventfd; it wakes for events, for the next deadline of a folder it
// holds back, to report a failure and to end. It does not poll while
// nothing is pending.
//
// Threads: Watch, Unwatch and the readers in any thread; `changed` and
// `failed` are handed to the main thread, and the watcher thread waits
// until they have run. The destructor must run in the main thread (or with
// the main thread serving hand-overs): it waits for the watcher thread
// while serving them. mutex_ guards every field below it; it is taken after
// the owner's lock and before the tree's structure lock, and never held
// while handing over or while letting go of a node hold.
//
// Lifetime of the folders: a folder is in the table from Watch until
// Unwatch, which the tree calls before the node can be freed; the watcher
// thread holds a folder (TNodeHold) while it tests and hands it on.
class TFileWatcher {
 public:
  using Clock = std::chrono::steady_clock;

  // local_root: the project's folder, without a trailing "/". changed and
  // failed run in the main thread. The thread starts at once.
  TFileWatcher(std::string local_root, std::function<void(TSynFolder&)> changed,
               std::function<void(const std::string&)> failed, TWatchOptions options = {});
  ~TFileWatcher();
  TFileWatcher(const TFileWatcher&) = delete;
  TFileWatcher& operator=(const TFileWatcher&) = delete;

  // Watches the folder (which must be in the tree) unless it is watched.
  // A folder whose local listing was merged before is then handed on as
  // changed. A failure is reported once per folder, through the watcher
  // thread.
  void Watch(TSynFolder& folder);
  // Forgets the node; with_descendants, every folder below it too.
  void Unwatch(const TNode& node, bool with_descendants);
  // Ends the thread, serving hand-overs until it has ended; hand-overs
  // still pending then do nothing. Watch and Unwatch go on working on the
  // table.
  void Stop();

  // Watch was called and Unwatch not since (whether the watch succeeded).
  bool IsWatched(const TNode& node) const;
  // The folder has a watch now.
  bool HasWatch(const TNode& node) const;
  int WatchCount() const;
  // For tests and benchmarks: nothing pending, held back or being handed
  // on, no failure to report and no event unread.
  bool IsQuiet() const;
  // A change is being handed to the main thread now.
  bool IsHandingOver() const;
  // Changes handed on so far; times a quiet folder was held back.
  int Reports() const { return reports_.load(); }
  int HoldBacks() const { return hold_backs_.load(); }

 private:
  struct TEntry {
    TSynFolder* folder = nullptr;
    int wd = -1;                // -1: no watch (failed, or lost)
    bool failure_told = false;  // a failure of this folder was reported
    bool held_back = false;     // counted as held back in this spell
    Clock::time_point last_event{};
    Clock::time_point not_before{};  // busy: look again then
    // Names modified and not closed yet, with their last modification.
    std::unordered_map<std::string, Clock::time_point> writing;
  };

  void Run();
  void Loop();
  void Wake();
  // Watches the entry's folder or queues the failure for the report.
  void AddWatchLocked(TEntry& entry, bool report_gone);
  // The errno of a failed watch, 0 once watched.
  int AddWatchErrorLocked(TEntry& entry, const std::string& relative);
  void DropWatchLocked(TEntry& entry);
  void ReadEventsLocked();
  void MarkChangedLocked(TEntry& entry, Clock::time_point now);
  // Counts the entry as held back, once a quiet spell.
  void CountHoldBackLocked(TEntry& entry);
  TEntry* PickSettledLocked(Clock::time_point now);
  void HandOnSettled();
  void ReportFailures();
  void HandOver(const std::function<void()>& fn);

  const std::string local_root_;
  const std::function<void(TSynFolder&)> changed_;
  const std::function<void(const std::string&)> failed_;
  const TWatchOptions options_;
  int inotify_fd_ = -1;
  int init_error_ = 0;  // errno of a failed inotify_init1
  int wake_fd_ = -1;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> ended_{false};
  std::atomic<int> reports_{0};
  std::atomic<int> hold_backs_{0};

  mutable std::mutex mutex_;
  std::unordered_map<const TNode*, TEntry> folders_;        // mutex_
  std::unordered_map<int, std::vector<TEntry*>> by_wd_;     // mutex_; the folders of a watch
  std::unordered_set<TEntry*> pending_;                     // mutex_; changed, not handed on
  std::vector<std::string> failures_;                       // mutex_; to report
  bool handing_over_ = false;                               // mutex_
  Clock::time_point next_wake_ = Clock::time_point::max();  // mutex_

  std::thread thread_;  // last: starts when everything else is ready
};

}  // namespace ravelo
