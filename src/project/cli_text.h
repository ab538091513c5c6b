#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/cli_escape.h"

namespace ravelo {

class TNode;

// A node's PATH as ravelo-cli prints it: its names joined by "/", escaped,
// a folder's ending in "/" ("./" for the root); none once the node has left
// the tree. Main thread.
std::optional<std::string> CliNodePath(const TNode& node);

}  // namespace ravelo
