#pragma once

#include "model/node.h"
#include "model/node_state.h"

namespace ravelo {

// A file in this state may hold work the server has not got: Clear Cache
// keeps it unless forced ("Fresh", "Ambigous", "Unknown").
bool HoldsLocalChanges(TNodeState state);

// How many files at or under node hold a local copy that Clear Cache keeps
// unless forced ("Fresh", "Ambigous", "Unknown"): what the window asks about.
int CountLocalChanges(TNode& node);

}  // namespace ravelo
