#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "model/node_state.h"

namespace ravelo {

class IChildrenIterator;
class IPresenceWatcher;
class IServer;
class ISynDisplay;
class TBranch;
class TNodeHold;
class TWaiter;

// One node of the synchronization tree: a remote file or folder together with
// its place in the local cache. Subclasses (TLeaf/TBranch descendants) supply
// what is known of each side and the seven Do operations; this class keeps the
// structure, the known flags, the observers and the operation queue.
//
// Ownership and lifetime:
// - An attached node is owned by its parent's child list (TBranch::MakeChild);
//   a root by whoever made it, who frees it with ReleaseRoot.
// - A node that leaves the tree (RemoveChild, pruning, a finished delete)
//   is freed at once, unless waiters are queued on it or a TNodeHold holds it.
//   Then it owns itself (self_), detached, and the last waiter to end
//   (WaiterDone) or the last hold to go frees it.
// - Freeing a branch releases its children the same way, so a child whose
//   operation still runs outlives its parent. While a node is in a branch's
//   list, that branch is alive; a node being taken out holds its parent
//   until the display has been told.
// - In the main thread, a node seen in the tree stays alive at least until
//   the main thread next serves hand-overs: a node with a parent is freed
//   only after its NodeRemoved has run there.
// - Waiters are owned by the queue until they start, then by their thread.
//
// Threads and locks:
// - Structure (Name, Parent, a branch's children, index and iterators) is
//   guarded by the process-wide structure lock, held inside each structure
//   operation only and never while calling out.
// - lock_ guards the queue, self_, counted_in_, the changes of detached_ and
//   in_process_ (both also read without it, as atomics) and the decision to
//   free a released node. holds_ is raised without it only while the node
//   is known to be alive (a hold already, or in a branch's list under the
//   structure lock), else under it while not dying_ (ParentHold), so it
//   cannot be raised after it was seen to be 0.
// - Lock order: the structure lock before a node's lock_ (taking a child
//   out holds its parent), never the other way round.
// - observers_mutex_ guards display_ and watcher_.
// - The known flags are atomics; subclasses guard their own fields.
// - Main thread: display calls (NodeRemoved is handed over to it from
//   whichever thread takes the node out), the three waiter callbacks,
//   GetState, most starters. Worker threads: the Do operations and whatever they call on
//   nodes (refresh, mark, clear, creating and removing children, starters).
//   Any thread: IsInProcess and HasBusyChildren (the folder watcher polls).
class TNode {
 public:
  virtual ~TNode();
  TNode(const TNode&) = delete;
  TNode& operator=(const TNode&) = delete;

  // Frees a root now, or once its last waiter has ended. Destroying a node
  // directly while waiters are queued on it is an error.
  static void ReleaseRoot(std::unique_ptr<TNode> root);

  // --- Supplied by the subclasses ---------------------------------------
  // State from the current local and remote information.
  virtual TNodeState CalcState() = 0;
  // Text of the size column (empty for a folder).
  virtual std::string GetSizeText() = 0;
  virtual void ReadLocal() = 0;
  virtual void ReadRemote(IServer& server) = 0;
  // What the last read found.
  virtual bool IsLocal() const = 0;
  virtual bool IsRemote() const = 0;
  virtual void ForgetLocal() = 0;
  // A folder also forgets the remote side of its subtree.
  virtual void ForgetRemote() = 0;
  // Record a side as gone.
  virtual void ClearLocal() = 0;
  virtual void ClearRemote() = 0;
  // Supplied by TBranch and TLeaf.
  virtual int IndexOfChild(const TNode& child) const = 0;
  // Bytes a synchronization of this node would move.
  virtual std::int64_t GetTransferSize() = 0;
  // Supplied by TBranch and TLeaf.
  virtual std::shared_ptr<IChildrenIterator> GetChildren() = 0;
  // The operations; always run in the node's waiter thread. A first server
  // call on NoServer throws ENoServer; the waiter then gets a server and runs
  // the operation again from its start.
  virtual void DoOpen(IServer& server) = 0;
  virtual void DoSynchronize(IServer& server) = 0;
  virtual void DoRename(IServer& server, const std::string& new_name) = 0;
  virtual void DoDelete(IServer& server) = 0;
  virtual void DoCreateLocal(IServer& server) = 0;
  // Without force, a file whose local copy holds work not on the server
  // ("Fresh", "Ambigous", "Unknown") is refused, not deleted.
  virtual void DoClearCache(IServer& server, bool force) = 0;
  virtual void DoUploadFresh(IServer& server) = 0;

  // --- Structure (any thread) --------------------------------------------
  std::string Name() const;
  // None for the root and once the node has left the tree. Nothing keeps
  // the answer alive: outside the main thread, use ParentHold to reach it.
  TBranch* Parent() const { return parent_.load(); }
  // Names joined by "\", empty for the root.
  std::string GetPath() const;
  bool IsDescendantOf(const TNode& ancestor) const;
  // The child of this node on the way down to descendant; throws ENoPath.
  TNode& ChildTowards(TNode& descendant) const;
  bool IsDetached() const { return detached_.load(); }
  // The parent, held so that it stays alive however the tree changes
  // meanwhile; empty for the root, once the node has left the tree, and
  // while the parent is being freed. Takes the structure lock, then the
  // parent's lock_. The caller must keep this node alive during the call.
  TNodeHold ParentHold() const;
  // Whether the node and every folder above it are still in a tree whose
  // root has not been released. Structure lock.
  bool IsInTree() const;
  // GetPath, taken in one step with IsInTree: none once the node or a
  // folder above it has left the tree (the path would then name another
  // place: a detached folder's children see it as their root).
  std::optional<std::string> TreePath() const;

  // --- Presence and state --------------------------------------------------
  TPresence LocalPresence() const;
  TPresence RemotePresence() const;
  bool LocalKnown() const { return local_known_.load(); }
  bool RemoteKnown() const { return remote_known_.load(); }
  // Main thread. May read the local side (and so prune the node).
  TNodeState GetState();
  void RefreshLocal();
  // An IServerUnavailableError while reading makes the remote side of the
  // subtree known absent instead.
  void RefreshRemote(IServer& server);
  // Mark a side known (Watch is told for the local side). When both sides
  // are then known absent the node leaves the tree and may be freed before
  // the call returns: the caller must not touch it again without a hold.
  void MarkLocalKnown();
  void MarkRemoteKnown();
  // The walks. ClearLocalTree/ClearRemoteTree record the side as gone in the
  // whole subtree (pruning as they go); ForgetRemoteTree makes every remote
  // side unknown.
  void ClearLocalTree();
  void ClearRemoteTree();
  void ForgetRemoteTree();
  bool IsInProcess() const { return in_process_.load() > 0; }
  bool HasBusyChildren() const { return busy_children_.load() > 0; }
  // Children whose operation runs (never below zero).
  int BusyChildren() const { return busy_children_.load(); }

  // --- Observers (any thread) ----------------------------------------------
  std::shared_ptr<ISynDisplay> Display() const;
  // None installs a TNilSynDisplay. Only this node changes; children made
  // later copy their parent's.
  void SetDisplay(std::shared_ptr<ISynDisplay> display);
  std::shared_ptr<IPresenceWatcher> PresenceWatcher() const;
  void SetPresenceWatcher(std::shared_ptr<IPresenceWatcher> watcher);

  // --- Operation starters (any thread) -------------------------------------
  // Each queues one operation on this node. Errors of the operation arrive
  // through the display's NodeFailed, never here.
  void Open();
  void Synchronize();
  void Delete();
  void Rename(const std::string& new_name);
  // Reads the local side first when unknown; throws ENodeAlreadyLocal when
  // the node is present locally.
  void CreateLocal();
  void ClearCache(bool force = false);
  void UploadFresh();
  // Terminates every queued waiter, the running one included.
  void CancelWaiters();

 protected:
  // A child of parent (which must then be given the node by
  // TBranch::MakeChild), or a root when parent is none (the name is ignored).
  // Throws EUnnamedNode for a child without a name.
  TNode(TBranch* parent, std::string_view name);

  // Drops the iterators over this node's children (TBranch).
  virtual void LoseIterators() {}

 private:
  friend class TBranch;
  friend class TChildrenIterator;
  friend class TNodeHold;
  friend class TWaiter;

  struct TQueueEntry {
    TWaiter* waiter;                     // the queued waiter
    std::unique_ptr<TWaiter> suspended;  // owns it until it starts
  };

  // Takes a node out of the tree: detaches it, cancels its waiters and frees
  // it now or hands it to itself until the last waiter or hold ends.
  static void Release(std::unique_ptr<TNode> self, TBranch* former_parent);
  // Structure lock held.
  bool InTreeLocked() const;
  std::string PathLocked() const;
  void Detach(TBranch* former_parent);
  void PruneIfGone();

  // Waiter protocol, called by TWaiter. Enqueue: any thread. The three
  // callbacks: main thread, ignored once detached. WaiterDone: the ending
  // waiter's own thread.
  void Enqueue(std::unique_ptr<TWaiter> waiter);
  void WaiterStarted();
  void WaiterFinished(TWaiter& waiter);
  void WaiterFailed(TWaiter& waiter, const std::exception& error);
  void WaiterDone(TWaiter& waiter);
  // With lock_ held.
  void CancelWaitersLocked();
  void StartHeadLocked();
  std::unique_ptr<TNode> TakeSelfIfUnusedLocked();
  // Drops one hold; frees a released node that nothing uses any more.
  void Unhold();

  // Structure lock.
  std::string name_;
  std::atomic<TBranch*> parent_;
  bool in_tree_ = false;  // added to a parent (or a root), not yet taken out

  std::atomic<bool> local_known_{false};
  std::atomic<bool> remote_known_{false};

  mutable std::mutex observers_mutex_;
  std::shared_ptr<ISynDisplay> display_;       // observers_mutex_
  std::shared_ptr<IPresenceWatcher> watcher_;  // observers_mutex_

  // Guards the fields below: the node's operation queue and its lifetime.
  std::mutex lock_;
  // The head runs, the others wait. A list: most nodes never queue anything,
  // and an empty list allocates nothing (an empty deque takes 600 bytes).
  std::list<TQueueEntry> queue_;
  std::unique_ptr<TNode> self_;    // set once released while still in use
  bool dying_ = false;             // being freed: no child may be taken out
  std::atomic<int> holds_{0};      // TNodeHolds and iterators holding it
  TBranch* counted_in_ = nullptr;  // the parent whose BusyChildren counts us
  std::atomic<bool> detached_{false};
  std::atomic<int> in_process_{0};     // started and not ended operations
  std::atomic<int> busy_children_{0};  // changed under each child's lock_
};

// Keeps a node alive while it may leave the tree, e.g. across a refresh that
// prunes it. A node released while held is freed when the last hold goes.
// Any thread; a hold may be moved, and an empty one holds nothing.
// TNodeHold(node) requires the node to be alive and no other thread able to
// free it meanwhile (the caller holds it already, runs one of its
// operations, or is the main thread holding a node it has seen no
// NodeRemoved for); for a node reached through the tree, take a hold from
// TNode::ParentHold, TBranch::HoldChild or an iterator instead, which raise
// it under the structure lock. Dropping a hold may free the node: never drop
// one while holding a lock the freeing takes (the structure lock, a node's
// lock_, or a lock taken by IPresenceWatcher::Unwatch).
class TNodeHold {
 public:
  TNodeHold() = default;
  explicit TNodeHold(TNode& node);
  TNodeHold(TNodeHold&& other) noexcept : node_(std::exchange(other.node_, nullptr)) {}
  TNodeHold& operator=(TNodeHold&& other) noexcept;
  ~TNodeHold() { Reset(); }

  TNode* Get() const { return node_; }
  TNode& operator*() const { return *node_; }
  TNode* operator->() const { return node_; }
  explicit operator bool() const { return node_ != nullptr; }
  // The node as a T; none when empty or of another class.
  template <class T>
  T* As() const {
    return dynamic_cast<T*>(node_);
  }
  // Lets go now.
  void Reset();

 private:
  friend class TNode;
  friend class TBranch;
  // Adopts a hold already raised (under the structure lock).
  struct TAdopt {};
  TNodeHold(TNode* node, TAdopt) : node_(node) {}

  TNode* node_ = nullptr;
};

// A hold on a node of a known class.
template <class T>
class THold {
 public:
  THold() = default;
  // Keeps hold when it holds a T; lets it go and stays empty otherwise.
  explicit THold(TNodeHold hold) : hold_(std::move(hold)), node_(hold_.As<T>()) {
    if (node_ == nullptr) hold_.Reset();
  }

  T* Get() const { return node_; }
  T& operator*() const { return *node_; }
  T* operator->() const { return node_; }
  explicit operator bool() const { return node_ != nullptr; }

 private:
  TNodeHold hold_;
  T* node_ = nullptr;
};

}  // namespace ravelo
