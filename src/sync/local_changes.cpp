#include "sync/local_changes.h"

#include "model/children_iterator.h"
#include "sync/syn_file.h"

namespace ravelo {

int CountLocalChanges(TNode& node) {
  if (auto* file = dynamic_cast<TSynFile*>(&node)) {
    if (file->LocalPresence() != prPresent) return 0;
    const TNodeState state = file->GetState();
    return state == nsFresh || state == nsAmbiguous || state == nsUnknown ? 1 : 0;
  }
  int count = 0;
  for (auto it = node.GetChildren(); !it->Done();) count += CountLocalChanges(it->Next());
  return count;
}

}  // namespace ravelo
