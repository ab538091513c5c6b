#pragma once

namespace ravelo {

class TBranch;
class TNode;

// Walks a node's children in order. Iterators survive changes of the child
// list: a child appended while the iterator still has children ahead is
// visited, one appended after it reached the end is not, and removing a child
// behind the position keeps the position on the same next child. Once the
// node leaves the tree its iterators are Done.
class IChildrenIterator {
 public:
  virtual ~IChildrenIterator() = default;

  // The child at the position, advancing past it. Throws EChildUnavailable
  // when Done.
  virtual TNode& Next() = 0;
  // The child Next returned last, even when it has left the tree since.
  // Throws EChildUnavailable when there is none.
  virtual TNode& Current() = 0;
  virtual bool Done() = 0;
};

// Iterator over a branch's children. The child Next returned last is held
// (TNodeHold) until the next Next or the iterator's end, so a walk may use it
// even when another thread takes it out of the tree meanwhile.
// One thread at a time uses an iterator; the tree's structure lock guards
// branch_ and position_ (the branch adjusts them when children come and go,
// and clears branch_ when it leaves the tree).
class TChildrenIterator : public IChildrenIterator {
 public:
  explicit TChildrenIterator(TBranch& branch);
  ~TChildrenIterator() override;
  TChildrenIterator(const TChildrenIterator&) = delete;
  TChildrenIterator& operator=(const TChildrenIterator&) = delete;

  TNode& Next() override;
  TNode& Current() override;
  bool Done() override;

 private:
  friend class TBranch;

  TBranch* branch_;  // not owned; none once the branch has left the tree
  int position_ = 0;
  TNode* held_ = nullptr;  // the child Next returned last, held by us
};

// The children of a leaf: none.
class TEmptyChildrenIterator : public IChildrenIterator {
 public:
  TNode& Next() override;
  TNode& Current() override;
  bool Done() override { return true; }
};

}  // namespace ravelo
