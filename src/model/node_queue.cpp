// The node's operation starters and its side of the waiter protocol.

#include <algorithm>
#include <typeinfo>

#include "model/branch.h"
#include "model/node.h"
#include "model/operation_waiters.h"
#include "model/syn_display.h"
#include "model/tree_errors.h"

namespace ravelo {

namespace {
bool IsDelete(const TWaiter& waiter) {
  return dynamic_cast<const TDeleteWaiter*>(&waiter) != nullptr;
}
}  // namespace

// ---------------------------------------------------------------------------
// Starters

void TNode::Open() {
  Enqueue(std::make_unique<TOpenWaiter>(*this));
}

void TNode::Synchronize() {
  Enqueue(std::make_unique<TSynchronizeWaiter>(*this));
}

void TNode::Delete() {
  Enqueue(std::make_unique<TDeleteWaiter>(*this));
}

void TNode::Rename(const std::string& new_name) {
  Enqueue(std::make_unique<TRenameWaiter>(*this, new_name));
}

void TNode::CreateLocal() {
  // Reading the local side may prune the node; the hold keeps it alive, and
  // a waiter queued on a node that left the tree never runs its operation.
  TNodeHold hold(*this);
  if (LocalPresence() == prUnknown) RefreshLocal();
  if (LocalPresence() == prPresent) throw ENodeAlreadyLocal();
  Enqueue(std::make_unique<TCreateLocalWaiter>(*this));
}

void TNode::ClearCache(bool force) {
  Enqueue(std::make_unique<TClearCacheWaiter>(*this, force));
}

void TNode::UploadFresh() {
  Enqueue(std::make_unique<TUploadFreshWaiter>(*this));
}

void TNode::CancelWaiters() {
  std::lock_guard lock(lock_);
  CancelWaitersLocked();
}

void TNode::CancelWaitersLocked() {
  for (TQueueEntry& entry : queue_) entry.waiter->Terminate();
}

// ---------------------------------------------------------------------------
// The queue

void TNode::Enqueue(std::unique_ptr<TWaiter> waiter) {
  std::lock_guard lock(lock_);
  TWaiter& added = *waiter;
  // The first live entry that already does the new waiter's work: a delete
  // (nothing queued behind one may run), or one of the same kind that is the
  // same. Terminated entries do nothing, so they cannot stand in for it.
  const TWaiter* duplicate = nullptr;
  for (const TQueueEntry& entry : queue_) {
    const TWaiter& queued = *entry.waiter;
    if (queued.Terminated()) continue;
    if (IsDelete(queued) || (typeid(queued) == typeid(added) && queued.SameAs(added))) {
      duplicate = &queued;
      break;
    }
  }
  if (detached_.load()) {
    // The node has left the tree: what was queued was cancelled, and so is
    // this one.
    added.Terminate();
  } else if (IsDelete(added)) {
    // A delete already queued does the job; otherwise the new delete
    // cancels everything before it, the running operation included.
    if (duplicate != nullptr && IsDelete(*duplicate))
      added.Terminate();
    else
      CancelWaitersLocked();
  } else if (duplicate != nullptr) {
    added.Terminate();
  }
  queue_.push_back(TQueueEntry{&added, std::move(waiter)});
  if (queue_.size() == 1) {
    try {
      TWaiter::Resume(queue_.front().suspended);
    } catch (...) {
      queue_.pop_front();  // frees the waiter that could not start
      throw;
    }
  }
}

void TNode::StartHeadLocked() {
  while (!queue_.empty()) {
    try {
      TWaiter::Resume(queue_.front().suspended);
      return;
    } catch (...) {
      // No thread to run it: drop it and try the next, so that the queue
      // never stalls with a waiter that cannot start.
      queue_.pop_front();
    }
  }
}

void TNode::WaiterDone(TWaiter& waiter) {
  std::unique_ptr<TNode> doomed;
  std::lock_guard lock(lock_);
  auto found = std::find_if(queue_.begin(), queue_.end(),
                            [&](const TQueueEntry& entry) { return entry.waiter == &waiter; });
  if (found != queue_.end()) {
    const bool was_head = found == queue_.begin();
    queue_.erase(found);
    if (was_head) StartHeadLocked();
  }
  doomed = TakeSelfIfUnusedLocked();
  // The guard unlocks before doomed frees a released node.
}

// ---------------------------------------------------------------------------
// The callbacks, in the main thread

void TNode::WaiterStarted() {
  std::shared_ptr<ISynDisplay> display;
  {
    std::lock_guard lock(lock_);
    if (detached_.load()) return;
    if (in_process_.fetch_add(1) + 1 != 1) return;
    if (TBranch* parent = parent_.load()) {
      parent->busy_children_.fetch_add(1);
      counted_in_ = parent;
    }
  }
  Display()->NodeChanged(*this);
}

void TNode::WaiterFinished(TWaiter& waiter) {
  bool changed = false;
  bool leave = false;
  {
    std::lock_guard lock(lock_);
    if (detached_.load()) return;
    const int in_process = std::max(0, in_process_.load() - 1);
    in_process_.store(in_process);
    if (in_process == 0 && counted_in_ != nullptr) {
      counted_in_->busy_children_.fetch_sub(1);
      counted_in_ = nullptr;
    }
    if (IsDelete(waiter))
      leave = true;
    else
      changed = in_process == 0;
  }
  // The deleted node leaves the tree; the waiter in its queue keeps it alive
  // until the waiter ends.
  if (leave) TBranch::RemoveFromParent(*this);  // a root stays
  if (changed) Display()->NodeChanged(*this);
}

void TNode::WaiterFailed(TWaiter&, const std::exception& error) {
  const bool terminated = dynamic_cast<const ETerminated*>(&error) != nullptr;
  bool was_in_process = false;
  {
    std::lock_guard lock(lock_);
    if (detached_.load()) return;
    was_in_process = in_process_.exchange(0) > 0;
    if (counted_in_ != nullptr) {
      counted_in_->busy_children_.fetch_sub(1);
      counted_in_ = nullptr;
    }
    if (!terminated) CancelWaitersLocked();
  }
  if (!terminated)
    Display()->NodeFailed(*this, error);
  else if (was_in_process)
    // A running operation cut short reports no error, but the node is no
    // longer in process and must not stay drawn so.
    Display()->NodeChanged(*this);
}

}  // namespace ravelo
