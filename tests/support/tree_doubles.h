#pragma once

// Test doubles for the node tree: concrete nodes whose sides and operations
// the test controls, and recording observers, server and server assigner.
// Header only; link ravelo_model.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "model/branch.h"
#include "model/children_iterator.h"
#include "model/leaf.h"
#include "model/presence_watcher.h"
#include "model/server.h"
#include "model/server_assigner.h"
#include "model/syn_display.h"
#include "model/time_info.h"
#include "model/waiter.h"
#include "platform/main_thread.h"
#include "support/test_main_loop.h"

namespace ravelo::test {

// A gate that worker threads wait at until the test opens it.
class TGate {
 public:
  void Open() {
    {
      std::lock_guard lock(mutex_);
      open_ = true;
    }
    opened_.notify_all();
  }
  // False when the gate stayed shut for the whole timeout.
  bool Wait(std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    std::unique_lock lock(mutex_);
    return opened_.wait_for(lock, timeout, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
};

// A thread-safe list of event lines.
class TEventLog {
 public:
  void Add(std::string event) {
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
  }
  std::vector<std::string> Events() const {
    std::lock_guard lock(mutex_);
    return events_;
  }
  int Count(const std::string& event) const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count(events_.begin(), events_.end(), event));
  }
  int Size() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(events_.size());
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    events_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> events_;
};

// Records "changed a", "removed a", "failed a: message". A call outside the
// main thread is recorded as "wrong thread".
class TRecordingDisplay : public ISynDisplay {
 public:
  void NodeChanged(TNode& node) override { Record("changed " + node.Name()); }
  void NodeRemoved(TNode& node) override { Record("removed " + node.Name()); }
  void NodeFailed(TNode& node, const std::exception& error) override {
    Record("failed " + node.Name() + ": " + error.what());
  }
  TEventLog log;

 private:
  void Record(std::string event) {
    if (!MainThread().IsMainThread()) event = "wrong thread";
    log.Add(std::move(event));
  }
};

// Records "watch a" and "unwatch a"; any thread.
class TRecordingWatcher : public IPresenceWatcher {
 public:
  void Watch(TNode& node) override { log.Add("watch " + node.Name()); }
  void Unwatch(TNode& node) override { log.Add("unwatch " + node.Name()); }
  TEventLog log;
};

// A server that does nothing but record "delete a" and the like.
class TTestServer : public IServer {
 public:
  TRemoteFileInfo GetFileInfo(TNode& file) override {
    log.Add("info " + file.Name());
    return {};
  }
  bool FolderExists(TNode& folder) override {
    log.Add("exists " + folder.Name());
    return true;
  }
  void Download(TNode& file) override { log.Add("download " + file.Name()); }
  void Upload(TNode& file) override { log.Add("upload " + file.Name()); }
  void DeleteFile(TNode& file) override { log.Add("delete " + file.Name()); }
  void DeleteFolder(TNode& folder) override { log.Add("rmdir " + folder.Name()); }
  std::shared_ptr<ITimeInfo> ListFolder(TNode& folder) override {
    log.Add("list " + folder.Name());
    return std::make_shared<TTimeInfo>();
  }
  void Rename(TNode& node, const std::string& new_name) override {
    log.Add("rename " + node.Name() + " " + new_name);
  }
  void MakeFolder(TNode& folder) override { log.Add("mkdir " + folder.Name()); }
  TEventLog log;
};

// Stands in for the sync device: keeps a queue of waiters like a server does
// and, when granting, gives the first one its server; the next one gets it
// when the first ends. Installs itself for its lifetime, which must cover
// every waiter that may ask it.
class TTestAssigner : public IServerAssigner {
 public:
  explicit TTestAssigner(bool grant = true) : grant_(grant) { SetServerAssigner(this); }
  ~TTestAssigner() override { SetServerAssigner(nullptr); }
  TTestAssigner(const TTestAssigner&) = delete;
  TTestAssigner& operator=(const TTestAssigner&) = delete;

  void AssignServer(TWaiter& waiter) override {
    std::lock_guard lock(mutex_);
    ++calls_;
    queue_.push_back(&waiter);
    // Runs in the waiter's thread when it ends; the assigner outlives it.
    waiter.SetEndHandler([this, ended = &waiter] { Ended(ended); });
    if (grant_ && queue_.size() == 1) waiter.SetServer(server);
  }
  // As a disconnect does: every queued waiter is asked to stop.
  void TerminateQueued() {
    std::lock_guard lock(mutex_);
    for (TWaiter* waiter : queue_) waiter->Terminate();
  }
  int Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  int Queued() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(queue_.size());
  }

  const std::shared_ptr<TTestServer> server = std::make_shared<TTestServer>();

 private:
  void Ended(TWaiter* waiter) {
    std::lock_guard lock(mutex_);
    const bool was_first = !queue_.empty() && queue_.front() == waiter;
    queue_.erase(std::remove(queue_.begin(), queue_.end(), waiter), queue_.end());
    if (grant_ && was_first && !queue_.empty()) queue_.front()->SetServer(server);
  }

  const bool grant_;
  mutable std::mutex mutex_;
  std::vector<TWaiter*> queue_;  // not owned; each removes itself as it ends
  int calls_ = 0;
};

enum class TOp { Open, Synchronize, Rename, Delete, CreateLocal, ClearCache, UploadFresh };

inline std::string OpName(TOp op) {
  switch (op) {
    case TOp::Open:
      return "open";
    case TOp::Synchronize:
      return "synchronize";
    case TOp::Rename:
      return "rename";
    case TOp::Delete:
      return "delete";
    case TOp::CreateLocal:
      return "createlocal";
    case TOp::ClearCache:
      return "clearcache";
    case TOp::UploadFresh:
      return "uploadfresh";
  }
  return "?";
}

// What a test node's operation does, in the waiter's thread, after the call
// has been recorded.
using TOpAction =
    std::function<void(TNode& node, TOp op, IServer& server, const std::string& new_name)>;

// A concrete node over TBranch or TLeaf. The test sets what the last read
// found (local, remote), what a new read finds (on_disk, on_server) and what
// the operations do (action, set before any operation starts).
template <class Base>
class TTestNode : public Base {
 public:
  TTestNode(TBranch* parent, std::string_view name) : Base(parent, name) {}
  ~TTestNode() override {
    if (destroyed != nullptr) destroyed->store(true);
  }

  TNodeState CalcState() override { return state.load(); }
  std::string GetSizeText() override { return {}; }
  void ReadLocal() override { local = on_disk.load(); }
  void ReadRemote(IServer& server) override {
    if (read_remote) read_remote(server);
    remote = on_server.load();
  }
  bool IsLocal() const override { return local.load(); }
  bool IsRemote() const override { return remote.load(); }
  void ForgetLocal() override { local = false; }
  void ForgetRemote() override { remote = false; }
  void ClearLocal() override { local = false; }
  void ClearRemote() override { remote = false; }
  std::int64_t GetTransferSize() override { return 0; }

  void DoOpen(IServer& server) override { Do(TOp::Open, server, {}); }
  void DoSynchronize(IServer& server) override { Do(TOp::Synchronize, server, {}); }
  void DoRename(IServer& server, const std::string& new_name) override {
    Do(TOp::Rename, server, new_name);
  }
  void DoDelete(IServer& server) override { Do(TOp::Delete, server, {}); }
  void DoCreateLocal(IServer& server) override { Do(TOp::CreateLocal, server, {}); }
  void DoClearCache(IServer& server, bool) override { Do(TOp::ClearCache, server, {}); }
  void DoUploadFresh(IServer& server) override { Do(TOp::UploadFresh, server, {}); }

  std::atomic<bool> local{false};
  std::atomic<bool> remote{false};
  std::atomic<bool> on_disk{false};
  std::atomic<bool> on_server{false};
  std::atomic<TNodeState> state{nsSynchronized};
  std::function<void(IServer&)> read_remote;  // runs first in ReadRemote
  TOpAction action;
  std::atomic<bool>* destroyed = nullptr;  // set true by the destructor
  TEventLog calls;                         // "open", "rename:b", in call order

 private:
  void Do(TOp op, IServer& server, const std::string& new_name) {
    calls.Add(new_name.empty() ? OpName(op) : OpName(op) + ":" + new_name);
    if (action) action(*this, op, server, new_name);
  }
};

using TTestBranch = TTestNode<TBranch>;
using TTestLeaf = TTestNode<TLeaf>;

// Random numbers for the stress tests: splitmix64 over a shared counter, so
// that any thread may draw without a lock; one seed gives one sequence.
inline std::atomic<std::uint64_t> random_state{1};
inline void SeedRandom(std::uint64_t seed) {
  random_state = seed;
}
inline int Below(int n) {
  std::uint64_t z = random_state.fetch_add(0x9E3779B97F4A7C15ULL) + 0x9E3779B97F4A7C15ULL;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return static_cast<int>((z ^ (z >> 31)) % static_cast<std::uint64_t>(n));
}

// Expects no node of the subtree in process and no busy child counted.
inline void CheckIdle(TNode& node) {
  EXPECT_FALSE(node.IsInProcess()) << node.GetPath();
  EXPECT_EQ(node.BusyChildren(), 0) << node.GetPath();
  for (auto children = node.GetChildren(); !children->Done();) CheckIdle(children->Next());
}

// Serves the main thread until every waiter of the process has ended.
inline bool WaitForWaiters(TTestMainLoop& loop,
                           std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
  return loop.RunUntil([] { return TWaiter::LiveCount() == 0; }, timeout);
}

}  // namespace ravelo::test
