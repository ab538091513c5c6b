#include "model/node.h"

#include <cassert>
#include <vector>

#include "model/branch.h"
#include "model/children_iterator.h"
#include "model/presence_watcher.h"
#include "model/server.h"
#include "model/structure_lock.h"
#include "model/syn_display.h"
#include "model/tree_errors.h"
#include "model/waiter.h"
#include "platform/main_thread.h"

namespace ravelo {

TNode::TNode(TBranch* parent, std::string_view name) : parent_(parent) {
  if (parent != nullptr) {
    display_ = parent->Display();
    watcher_ = parent->PresenceWatcher();
    if (name.empty()) throw EUnnamedNode();
    name_ = name;
  } else {
    display_ = std::make_shared<TNilSynDisplay>();
    watcher_ = std::make_shared<TNilPresenceWatcher>();
    in_tree_ = true;
  }
}

TNode::~TNode() {
  // Only a released node (or a node never added) should die with waiters
  // owned elsewhere: every path but a root's direct destruction goes through
  // Release, which keeps a node with queued waiters alive.
  assert(queue_.empty() && "a node was destroyed while waiters were queued on it");
  if (in_tree_ && !detached_.load()) {
    // A root freed directly: it only tells its watcher.
    try {
      PresenceWatcher()->Unwatch(*this);
    } catch (...) {
    }
  }
}

void TNode::ReleaseRoot(std::unique_ptr<TNode> root) {
  if (root) Release(std::move(root), nullptr);
}

// ---------------------------------------------------------------------------
// Structure

std::string TNode::Name() const {
  std::lock_guard lock(StructureLock());
  return name_;
}

std::string TNode::GetPath() const {
  std::lock_guard lock(StructureLock());
  return PathLocked();
}

std::string TNode::PathLocked() const {
  std::vector<const TNode*> chain;
  // Up to, but not including, the root (the top node with no parent).
  for (const TNode* node = this;
       node != nullptr && (node == this || node->parent_.load() != nullptr);
       node = node->parent_.load())
    chain.push_back(node);
  std::string path;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (!path.empty()) path += '\\';
    path += (*it)->name_;
  }
  return path;
}

bool TNode::IsDescendantOf(const TNode& ancestor) const {
  std::lock_guard lock(StructureLock());
  for (const TNode* node = parent_.load(); node != nullptr; node = node->parent_.load())
    if (node == &ancestor) return true;
  return false;
}

TNode& TNode::ChildTowards(TNode& descendant) const {
  std::lock_guard lock(StructureLock());
  TNode* node = &descendant;
  for (;;) {
    TNode* parent = node->parent_.load();
    if (parent == this) return *node;
    if (parent == nullptr) throw ENoPath(name_, node->name_);
    node = parent;
  }
}

TNodeHold TNode::ParentHold() const {
  std::lock_guard lock(StructureLock());
  // A parent link is set while the node is in the parent's list or being
  // taken out of it (the taker holds the parent); either way the parent is
  // alive here, but may have decided to die: then it is not to be held.
  TBranch* parent = parent_.load();
  if (parent == nullptr) return {};
  std::lock_guard parent_lock(parent->lock_);
  if (parent->dying_) return {};
  parent->holds_.fetch_add(1);
  return TNodeHold(parent, TNodeHold::TAdopt{});
}

bool TNode::IsInTree() const {
  std::lock_guard lock(StructureLock());
  return InTreeLocked();
}

bool TNode::InTreeLocked() const {
  const TNode* node = this;
  for (;;) {
    if (!node->in_tree_) return false;
    const TNode* parent = node->parent_.load();
    if (parent == nullptr) return !node->detached_.load();  // a root still in use
    node = parent;
  }
}

std::optional<std::string> TNode::TreePath() const {
  std::lock_guard lock(StructureLock());
  if (!InTreeLocked()) return std::nullopt;
  return PathLocked();
}

// ---------------------------------------------------------------------------
// Leaving the tree

void TNode::Release(std::unique_ptr<TNode> self, TBranch* former_parent) {
  TNode& node = *self;
  node.Detach(former_parent);
  std::unique_ptr<TNode> doomed;
  {
    std::lock_guard lock(node.lock_);
    node.detached_.store(true);
    if (node.counted_in_ != nullptr) {
      node.counted_in_->busy_children_.fetch_sub(1);
      node.counted_in_ = nullptr;
    }
    node.CancelWaitersLocked();
    node.self_ = std::move(self);
    doomed = node.TakeSelfIfUnusedLocked();
  }
  // doomed, if set, frees the node here, outside its lock.
}

void TNode::Detach(TBranch* former_parent) {
  // Observers are told without any lock held; their failures cannot stop a
  // node from leaving the tree.
  try {
    PresenceWatcher()->Unwatch(*this);
  } catch (...) {
  }
  if (former_parent != nullptr) {
    const auto display = Display();
    try {
      MainThread().Synchronize([&] { display->NodeRemoved(*this); });
    } catch (...) {
    }
  }
  LoseIterators();
  std::lock_guard lock(StructureLock());
  parent_.store(nullptr);
}

std::unique_ptr<TNode> TNode::TakeSelfIfUnusedLocked() {
  if (!self_ || !queue_.empty() || holds_.load() != 0) return nullptr;
  dying_ = true;
  return std::move(self_);
}

void TNode::Unhold() {
  std::unique_ptr<TNode> doomed;
  std::lock_guard lock(lock_);
  holds_.fetch_sub(1);
  doomed = TakeSelfIfUnusedLocked();
  // The guard unlocks before doomed (declared first) frees the node.
}

TNodeHold::TNodeHold(TNode& node) : node_(&node) {
  node.holds_.fetch_add(1);
}

TNodeHold& TNodeHold::operator=(TNodeHold&& other) noexcept {
  if (this != &other) {
    Reset();
    node_ = std::exchange(other.node_, nullptr);
  }
  return *this;
}

void TNodeHold::Reset() {
  if (TNode* node = std::exchange(node_, nullptr)) node->Unhold();
}

// ---------------------------------------------------------------------------
// Presence and state

TPresence TNode::LocalPresence() const {
  if (!local_known_.load()) return prUnknown;
  return IsLocal() ? prPresent : prAbsent;
}

TPresence TNode::RemotePresence() const {
  if (!remote_known_.load()) return prUnknown;
  return IsRemote() ? prPresent : prAbsent;
}

TNodeState TNode::GetState() {
  if (IsInProcess()) return nsInProcess;
  TNodeHold hold(*this);
  if (!local_known_.load()) RefreshLocal();
  if (!remote_known_.load()) return nsUnknown;
  return CalcState();
}

void TNode::RefreshLocal() {
  TNodeHold hold(*this);
  ReadLocal();
  MarkLocalKnown();
}

void TNode::RefreshRemote(IServer& server) {
  TNodeHold hold(*this);
  try {
    ReadRemote(server);
  } catch (const IServerUnavailableError&) {
    ClearRemoteTree();
    return;
  }
  MarkRemoteKnown();
}

void TNode::MarkLocalKnown() {
  local_known_.store(true);
  PresenceWatcher()->Watch(*this);
  PruneIfGone();
}

void TNode::MarkRemoteKnown() {
  remote_known_.store(true);
  PruneIfGone();
}

void TNode::PruneIfGone() {
  if (LocalPresence() != prAbsent || RemotePresence() != prAbsent) return;
  // Another thread may be taking the node out at the same moment; only one
  // of them gets it.
  TBranch::RemoveFromParent(*this);
}

void TNode::ClearLocalTree() {
  TNodeHold hold(*this);
  if (LocalPresence() == prAbsent) return;
  ClearLocal();
  for (auto children = GetChildren(); !children->Done();) children->Next().ClearLocalTree();
  MarkLocalKnown();
}

void TNode::ClearRemoteTree() {
  TNodeHold hold(*this);
  if (RemotePresence() == prAbsent) return;
  ClearRemote();
  for (auto children = GetChildren(); !children->Done();) children->Next().ClearRemoteTree();
  MarkRemoteKnown();
}

void TNode::ForgetRemoteTree() {
  if (remote_known_.load()) {
    ForgetRemote();
    remote_known_.store(false);
  }
  for (auto children = GetChildren(); !children->Done();) children->Next().ForgetRemoteTree();
}

// ---------------------------------------------------------------------------
// Observers

std::shared_ptr<ISynDisplay> TNode::Display() const {
  std::lock_guard lock(observers_mutex_);
  return display_;
}

void TNode::SetDisplay(std::shared_ptr<ISynDisplay> display) {
  if (!display) display = std::make_shared<TNilSynDisplay>();
  std::lock_guard lock(observers_mutex_);
  display_ = std::move(display);
}

std::shared_ptr<IPresenceWatcher> TNode::PresenceWatcher() const {
  std::lock_guard lock(observers_mutex_);
  return watcher_;
}

void TNode::SetPresenceWatcher(std::shared_ptr<IPresenceWatcher> watcher) {
  if (!watcher) watcher = std::make_shared<TNilPresenceWatcher>();
  std::lock_guard lock(observers_mutex_);
  watcher_ = std::move(watcher);
}

}  // namespace ravelo
