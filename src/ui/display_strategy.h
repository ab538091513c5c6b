#pragma once

#include "model/syn_display.h"
#include "ui/node_view.h"

namespace ravelo {

class TFolderFrm;

// The main window's display of the tree in one of its three situations (no
// project, disconnected, connected): the shown folder and its children
// report to it. A folder the device has just made current is shown with
// its children; a child of the shown folder is shown as the strategy's
// kind decides (NodeView); a removed child leaves the list, and a removed
// shown folder gives way to its parent; a failure goes to the error panel.
//
// The window replaces the strategy when the situation changes and the
// shown nodes are given the new one; a replaced one works on for any node
// still holding it. Made, called and detached in the main thread only.
class TDisplayStrategy : public ISynDisplay {
 public:
  // form outlives the strategy or detaches it first.
  TDisplayStrategy(TStrategyKind kind, TFolderFrm& form) : kind_(kind), form_(&form) {}

  TStrategyKind Kind() const { return kind_; }
  // The window is going: every later report is ignored.
  void Detach() { form_ = nullptr; }

  void NodeChanged(TNode& node) override;
  void NodeRemoved(TNode& node) override;
  void NodeFailed(TNode& node, const std::exception& error) override;

 private:
  const TStrategyKind kind_;
  TFolderFrm* form_;  // none once detached
};

}  // namespace ravelo
