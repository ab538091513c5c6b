#include "sync/local_changes.h"

#include "model/children_iterator.h"
#include "sync/syn_file.h"

namespace ravelo {

bool HoldsLocalChanges(TNodeState state) {
  return state == nsFresh || state == nsAmbiguous || state == nsUnknown;
}

int CountLocalChanges(TNode& node) {
  if (auto* file = dynamic_cast<TSynFile*>(&node))
    return file->LocalPresence() == prPresent && HoldsLocalChanges(file->GetState()) ? 1 : 0;
  int count = 0;
  for (auto it = node.GetChildren(); !it->Done();) count += CountLocalChanges(it->Next());
  return count;
}

}  // namespace ravelo
