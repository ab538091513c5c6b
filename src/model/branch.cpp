#include "model/branch.h"

#include <algorithm>

#include "model/children_iterator.h"
#include "model/structure_lock.h"
#include "model/tree_errors.h"

namespace ravelo {

std::string TBranch::FoldName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return folded;
}

TBranch::TBranch(TBranch* parent, std::string_view name) : TNode(parent, name) {}

TBranch::~TBranch() {
  std::vector<std::unique_ptr<TNode>> children;
  {
    std::lock_guard lock(StructureLock());
    {
      // Mostly set already by the decision to free us; a root destroyed
      // directly sets it here.
      std::lock_guard own_lock(lock_);
      dying_ = true;
    }
    for (TChildrenIterator* iterator : iterators_) iterator->branch_ = nullptr;
    iterators_.clear();
    iterators_lost_ = true;
    children.swap(children_);
    index_.clear();
    for (auto& child : children) child->in_tree_ = false;
  }
  // In list order, each child leaves the tree (reported with its parent still
  // set); a child whose operation runs lives on until that ends.
  for (auto& child : children) Release(std::move(child), this);
}

void TBranch::LoseIterators() {
  std::lock_guard lock(StructureLock());
  for (TChildrenIterator* iterator : iterators_) iterator->branch_ = nullptr;
  iterators_.clear();
  iterators_lost_ = true;
}

TNode* TBranch::FindChild(std::string_view name) const {
  const std::string key = FoldName(name);
  std::lock_guard lock(StructureLock());
  auto found = index_.find(key);
  return found == index_.end() ? nullptr : found->second;
}

TNodeHold TBranch::HoldChild(std::string_view name) const {
  const std::string key = FoldName(name);
  std::lock_guard lock(StructureLock());
  auto found = index_.find(key);
  if (found == index_.end()) return {};
  // In our list, so not released: a hold raised now cannot come too late.
  found->second->holds_.fetch_add(1);
  return TNodeHold(found->second, TNodeHold::TAdopt{});
}

TNodeHold TBranch::AddChild(std::unique_ptr<TNode> child, bool hold) {
  std::string key = FoldName(child->name_);
  std::lock_guard lock(StructureLock());
  if (index_.count(key) != 0) throw EDuplicateNode();
  if (child->parent_.load() != this) throw ENotMyChild();
  TNode* added = child.get();
  children_.push_back(std::move(child));
  index_.emplace(std::move(key), added);
  added->in_tree_ = true;
  // An iterator that has not reached the end yet will also visit the new
  // child; one that has reached it stays done.
  const int index = static_cast<int>(children_.size()) - 1;
  for (TChildrenIterator* iterator : iterators_)
    if (index <= iterator->position_) ++iterator->position_;
  if (!hold) return {};
  added->holds_.fetch_add(1);
  return TNodeHold(added, TNodeHold::TAdopt{});
}

TBranch::TTaken TBranch::Take(TNode& child, const TBranch* expected) {
  std::lock_guard lock(StructureLock());
  // While the child is in its parent's list, the parent is alive: freeing a
  // branch empties its list under this lock first.
  TBranch* parent = child.parent_.load();
  if (parent == nullptr || !child.in_tree_) return {};
  if (expected != nullptr && parent != expected) return {};
  {
    std::lock_guard parent_lock(parent->lock_);
    if (parent->dying_) return {};
    parent->holds_.fetch_add(1);
  }
  const int index = parent->IndexOfLocked(child);
  for (TChildrenIterator* iterator : parent->iterators_)
    if (index < iterator->position_) --iterator->position_;
  TTaken taken;
  taken.child = std::move(parent->children_[static_cast<size_t>(index)]);
  taken.parent = parent;
  parent->children_.erase(parent->children_.begin() + index);
  parent->index_.erase(FoldName(child.name_));
  child.in_tree_ = false;
  return taken;
}

void TBranch::ReleaseTaken(TTaken taken) {
  TBranch* parent = taken.parent;
  Release(std::move(taken.child), parent);
  parent->Unhold();
}

void TBranch::RemoveChild(TNode& child) {
  TTaken taken = Take(child, this);
  if (!taken.child) throw ENotMyChild();
  ReleaseTaken(std::move(taken));
}

void TBranch::RemoveFromParent(TNode& child) {
  TTaken taken = Take(child, nullptr);
  if (taken.child) ReleaseTaken(std::move(taken));
}

void TBranch::RenameChild(TNode& child, std::string_view new_name) {
  std::string key = FoldName(new_name);
  std::lock_guard lock(StructureLock());
  if (child.parent_.load() != this || !child.in_tree_) throw ENotMyChild();
  if (child.name_ == new_name) return;
  // The child itself counts: a change of letter case only is refused too.
  if (index_.count(key) != 0) throw EDuplicateNode();
  index_.erase(FoldName(child.name_));
  index_.emplace(std::move(key), &child);
  child.name_ = new_name;
}

int TBranch::ChildCount() const {
  std::lock_guard lock(StructureLock());
  return static_cast<int>(children_.size());
}

int TBranch::IndexOfChild(const TNode& child) const {
  std::lock_guard lock(StructureLock());
  return IndexOfLocked(child);
}

int TBranch::IndexOfLocked(const TNode& child) const {
  auto found =
      std::find_if(children_.begin(), children_.end(),
                   [&](const std::unique_ptr<TNode>& entry) { return entry.get() == &child; });
  return found == children_.end() ? -1 : static_cast<int>(found - children_.begin());
}

std::shared_ptr<IChildrenIterator> TBranch::GetChildren() {
  return std::make_shared<TChildrenIterator>(*this);
}

}  // namespace ravelo
