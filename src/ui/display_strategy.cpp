#include "ui/display_strategy.h"

#include "sync/syn_folder.h"
#include "ui/folder_frm.h"

namespace ravelo {

void TDisplayStrategy::NodeChanged(TNode& node) {
  if (form_ == nullptr) return;
  auto* folder = dynamic_cast<TSynFolder*>(&node);
  if (folder != nullptr && folder == form_->CurrentFolder()) {
    form_->ShowFolder(*folder, kind_);
    form_->UpdatePathBar();
  } else if (node.Parent() != nullptr && node.Parent() == form_->ShownFolder()) {
    form_->ShowNode(node, kind_);
  }
}

void TDisplayStrategy::NodeRemoved(TNode& node) {
  if (form_ == nullptr) return;
  if (&node != form_->ShownFolder()) {
    form_->Files().Remove(node);
    return;
  }
  // The tree reports no removal of its root: the shown folder has a parent.
  if (auto* parent = dynamic_cast<TSynFolder*>(node.Parent())) {
    form_->ShowFolder(*parent, kind_);
    form_->UpdatePathBar();
  }
}

void TDisplayStrategy::NodeFailed(TNode& node, const std::exception& error) {
  if (form_ == nullptr) return;
  form_->ShowNodeError(node, error);
  NodeChanged(node);
}

}  // namespace ravelo
