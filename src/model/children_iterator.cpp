#include "model/children_iterator.h"

#include <algorithm>

#include "model/branch.h"
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
  std::lock_guard lock(StructureLock());
  if (branch_ == nullptr) return;
  auto& list = branch_->iterators_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

TNode& TChildrenIterator::Next() {
  std::lock_guard lock(StructureLock());
  if (branch_ == nullptr || position_ < 0 ||
      position_ >= static_cast<int>(branch_->children_.size()))
    throw EChildUnavailable();
  return *branch_->children_[static_cast<size_t>(position_++)];
}

TNode& TChildrenIterator::Current() {
  std::lock_guard lock(StructureLock());
  if (branch_ == nullptr || position_ < 1 ||
      position_ > static_cast<int>(branch_->children_.size()))
    throw EChildUnavailable();
  return *branch_->children_[static_cast<size_t>(position_ - 1)];
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
