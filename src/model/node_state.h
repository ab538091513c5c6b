#pragma once

#include <string>

namespace ravelo {

// A node's state, computed on demand by TNode::GetState and never stored.
enum TNodeState : int {
  nsUnknown,
  nsInProcess,
  nsNotCached,
  nsSynchronized,
  nsFresh,
  nsExpired,
  nsAmbiguous,
};

// What is known of one side (local or remote) of a node.
enum TPresence : int {
  prUnknown,
  prAbsent,
  prPresent,
};

// The display text of a state ("Ambigous" is the program's own spelling).
std::string StateText(TNodeState state);

}  // namespace ravelo
