#pragma once

#include <exception>

namespace ravelo {

class TNode;

// Where a node reports changes; the main window's display strategies
// implement it. Every call comes in the main thread.
class ISynDisplay {
 public:
  virtual ~ISynDisplay() = default;

  // The node's state may have changed.
  virtual void NodeChanged(TNode& node) = 0;
  // The node is leaving the tree; it still has its parent during the call
  // and stays alive until the call returns. Only for nodes with a parent.
  virtual void NodeRemoved(TNode& node) = 0;
  // An operation on the node failed; error is valid during the call only.
  virtual void NodeFailed(TNode& node, const std::exception& error) = 0;
};

// The display of a node nobody shows.
class TNilSynDisplay : public ISynDisplay {
 public:
  void NodeChanged(TNode&) override {}
  void NodeRemoved(TNode&) override {}
  void NodeFailed(TNode&, const std::exception&) override {}
};

}  // namespace ravelo
