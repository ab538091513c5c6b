#pragma once

#include <exception>
#include <functional>
#include <unordered_map>

#include "model/syn_display.h"
#include "sync/syn_file.h"

namespace ravelo {

// ravelo-cli's display of every node: it passes each failure on, and tells
// which operations uploaded a file, for the commands whose only transfers
// are uploads (upload-fresh, watch): a file that ends an operation
// "Synchronized" with other synchronization times than it started it with
// was uploaded. (A synchronize that finds the file unchanged marks the
// same times again; one that downloads would count too, so the commands
// that may download do not ask.)
//
// Threads: every call comes in the main thread, as ISynDisplay's do; the
// two callbacks run there too.
class TCliDisplay : public ISynDisplay {
 public:
  using TFailed = std::function<void(TNode& node, const std::exception& error)>;
  using TUploaded = std::function<void(TNode& file)>;

  TCliDisplay(TFailed failed, TUploaded uploaded);

  void NodeChanged(TNode& node) override;
  void NodeRemoved(TNode& node) override;
  void NodeFailed(TNode& node, const std::exception& error) override;

 private:
  const TFailed failed_;
  const TUploaded uploaded_;
  // The times each file had when its running operation started. A node's
  // entry goes when its operation ends or fails, or the node leaves.
  std::unordered_map<const TNode*, TFileTimes> started_;
};

}  // namespace ravelo
