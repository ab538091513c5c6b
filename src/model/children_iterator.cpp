#include "model/children_iterator.h"

#include <algorithm>

#include "model/branch.h"
#include "model/node.h"
#include "model/structure_lock.h"
#include "model/tree_errors.h"

namespace ravelo {

TChildrenIterator::TChildrenIterator(TBranch& branch) : branch_(&branch) {
  std::lock_guard lock(StructureLock());
  // A branch that has left the tree hands out iterators that are Done.
  if (branch.iterators_lost_)
    branch_ = nullptr;
  else
    branch.iterators_.push_back(this);
}

TChildrenIterator::~TChildrenIterator() {
  {
    std::lock_guard lock(StructureLock());
    if (branch_ != nullptr) {
      auto& list = branch_->iterators_;
      list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
  }
  if (held_ != nullptr) held_->Unhold();
}

TNode& TChildrenIterator::Next() {
  TNode* previous = held_;
  {
    std::lock_guard lock(StructureLock());
    if (branch_ == nullptr || position_ < 0 ||
        position_ >= static_cast<int>(branch_->children_.size()))
      throw EChildUnavailable();
    // Held while still in the tree, so whoever takes it out later cannot
    // free it under us.
    held_ = branch_->children_[static_cast<size_t>(position_++)].get();
    held_->holds_.fetch_add(1);
  }
  // Outside the structure lock: letting go may free a node that has left.
  if (previous != nullptr) previous->Unhold();
  return *held_;
}

TNode& TChildrenIterator::Current() {
  if (held_ == nullptr) throw EChildUnavailable();
  return *held_;
}

bool TChildrenIterator::Done() {
  std::lock_guard lock(StructureLock());
  return branch_ == nullptr || position_ >= static_cast<int>(branch_->children_.size());
}

TNode& TEmptyChildrenIterator::Next() {
  throw EChildUnavailable();
}

TNode& TEmptyChildrenIterator::Current() {
  throw EChildUnavailable();
}

}  // namespace ravelo
