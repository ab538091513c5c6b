#include "model/leaf.h"

#include <string>

#include "model/children_iterator.h"
#include "model/tree_errors.h"

namespace ravelo {

namespace {
TBranch* RequireParent(TBranch* parent, std::string_view name) {
  if (parent == nullptr) throw EParentless(std::string(name));
  return parent;
}
}  // namespace

TLeaf::TLeaf(TBranch* parent, std::string_view name) : TNode(RequireParent(parent, name), name) {}

int TLeaf::IndexOfChild(const TNode&) const {
  return -1;
}

std::shared_ptr<IChildrenIterator> TLeaf::GetChildren() {
  return std::make_shared<TEmptyChildrenIterator>();
}

}  // namespace ravelo
