#pragma once

#include <stdexcept>
#include <string>

#include "model/node_state.h"

namespace ravelo {

// Failures of the synchronized file and folder operations.
class EFiles : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A synchronize asked of a file whose state allows no transfer.
class ECannotSynchronize : public EFiles {
 public:
  explicit ECannotSynchronize(TNodeState state)
      : EFiles("Cannot Synchronize In State " + StateText(state)), state_(state) {}
  TNodeState State() const { return state_; }

 private:
  TNodeState state_;
};

// A new name that could make the node's path leave its folder (or name the
// folder itself): empty, "." or "..", or holding "/", "\" or NUL.
class EInvalidNodeName : public EFiles {
 public:
  explicit EInvalidNodeName(const std::string& name) : EFiles("Invalid Name \"" + name + "\"") {}
};

// Clear Cache without force met a local copy holding work the server has
// not got ("Fresh", "Ambigous", "Unknown"): it is kept.
class ELocalChangesWouldBeLost : public EFiles {
 public:
  ELocalChangesWouldBeLost() : EFiles("Local Changes Would Be Lost") {}
};

class ENoFolderWithName : public EFiles {
 public:
  explicit ENoFolderWithName(const std::string& name)
      : EFiles("No Folder With The Name \"" + name + "\" Found") {}
};

}  // namespace ravelo
