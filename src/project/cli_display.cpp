#include "project/cli_display.h"

#include <utility>

namespace ravelo {

TCliDisplay::TCliDisplay(TFailed failed, TUploaded uploaded)
    : failed_(std::move(failed)), uploaded_(std::move(uploaded)) {}

void TCliDisplay::NodeChanged(TNode& node) {
  auto* file = dynamic_cast<TSynFile*>(&node);
  if (file == nullptr) return;
  // Told when a node's first operation starts and when its last one ends;
  // a terminated operation tells nothing, and the next start overwrites.
  if (node.IsInProcess()) {
    started_[&node] = file->Times();
    return;
  }
  const auto started = started_.find(&node);
  if (started == started_.end()) return;
  const TFileTimes before = started->second;
  started_.erase(started);
  const TFileTimes after = file->Times();
  const bool marked = !after.SyncedLocalTime.EqualTo(before.SyncedLocalTime) ||
                      !after.SyncedRemoteTime.EqualTo(before.SyncedRemoteTime);
  if (marked && FileState(after) == nsSynchronized) uploaded_(node);
}

void TCliDisplay::NodeRemoved(TNode& node) {
  started_.erase(&node);
}

void TCliDisplay::NodeFailed(TNode& node, const std::exception& error) {
  started_.erase(&node);
  failed_(node, error);
}

}  // namespace ravelo
