#pragma once

#include <memory>
#include <string_view>

#include "model/node.h"

namespace ravelo {

// A node that never has children. It always has a parent.
class TLeaf : public TNode {
 public:
  int IndexOfChild(const TNode& child) const override;
  std::shared_ptr<IChildrenIterator> GetChildren() override;

 protected:
  // Throws EParentless without a parent, before anything else.
  TLeaf(TBranch* parent, std::string_view name);
};

}  // namespace ravelo
