#pragma once

#include "model/node.h"

namespace ravelo {

// How many files at or under node hold a local copy that Clear Cache keeps
// unless forced ("Fresh", "Ambigous", "Unknown"): what the window asks about.
int CountLocalChanges(TNode& node);

}  // namespace ravelo
