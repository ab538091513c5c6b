#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "model/node.h"

namespace ravelo {

class TChildrenIterator;

// A node with an ordered list of children, which it owns.
//
// Names compare ignoring the case of the ASCII letters A-Z only (names are
// UTF-8 bytes; every other byte must match). No two children share a name in
// that sense, which lets FindChild answer from a hash index of the folded
// names instead of scanning the list.
//
// Any thread. The children, the index and the iterators are guarded by the
// process-wide structure lock, taken inside each operation.
class TBranch : public TNode {
 public:
  ~TBranch() override;

  // Creates a T(this, name, args...) as the last child and answers it; the
  // branch owns it. Throws EDuplicateNode when a child of that name exists
  // (the new node is then dropped without a trace).
  template <class T, class... Args>
  T& MakeChild(std::string_view name, Args&&... args) {
    auto child = std::make_unique<T>(this, name, std::forward<Args>(args)...);
    T& added = *child;
    AddChild(std::move(child));
    return added;
  }

  // MakeChild, answering the new child held: it stays alive even when
  // another thread takes it out of the tree before the caller uses it.
  template <class T, class... Args>
  THold<T> MakeHeldChild(std::string_view name, Args&&... args) {
    auto child = std::make_unique<T>(this, name, std::forward<Args>(args)...);
    return THold<T>(AddChild(std::move(child), /*hold=*/true));
  }

  // The child of that name ignoring ASCII case, or none. Another thread may
  // take it out of the tree and free it at once: only the main thread (and
  // a caller that merely tests for a name) may use the answer unheld.
  TNode* FindChild(std::string_view name) const;
  // The same child, held (taken under the structure lock); empty when none.
  TNodeHold HoldChild(std::string_view name) const;
  // Takes the child out of the tree; it is freed at once or, while
  // operations are queued on it, when the last one ends. Throws ENotMyChild.
  void RemoveChild(TNode& child);
  // Throws ENotMyChild, or EDuplicateNode when any child (the same one
  // included) already bears the new name ignoring case; renaming to the
  // exact current name does nothing.
  void RenameChild(TNode& child, std::string_view new_name);
  int ChildCount() const;

  int IndexOfChild(const TNode& child) const override;
  std::shared_ptr<IChildrenIterator> GetChildren() override;

  // The key names are compared by: A-Z folded to a-z, all else unchanged.
  static std::string FoldName(std::string_view name);

 protected:
  TBranch(TBranch* parent, std::string_view name);
  void LoseIterators() override;

 private:
  friend class TNode;
  friend class TChildrenIterator;

  // Only through MakeChild: the child was made with this branch as parent.
  // With hold, answers the child held.
  TNodeHold AddChild(std::unique_ptr<TNode> child, bool hold = false);
  // Takes the child out of its parent's list (of `expected` only, when
  // given) and holds the parent, which Release needs and which another
  // thread might free meanwhile. Answers none when the child is no longer in
  // a list, or its parent is being freed (which then releases the child
  // itself). The parent link stays until Release has told the display.
  // Takes the structure lock, then the parent's lock_.
  struct TTaken {
    std::unique_ptr<TNode> child;
    TBranch* parent = nullptr;  // held
  };
  static TTaken Take(TNode& child, const TBranch* expected);
  // Releases a taken child, then lets go of its former parent.
  static void ReleaseTaken(TTaken taken);
  // Takes the node out of whatever branch it is in, if any; for threads
  // that may race to remove the same node, and may not know its parent alive.
  static void RemoveFromParent(TNode& child);
  // Structure lock held.
  int IndexOfLocked(const TNode& child) const;

  // All guarded by the structure lock.
  std::vector<std::unique_ptr<TNode>> children_;
  std::unordered_map<std::string, TNode*> index_;  // folded name -> child
  std::vector<TChildrenIterator*> iterators_;      // live, not owned
  bool iterators_lost_ = false;                    // the branch left the tree
};

}  // namespace ravelo
