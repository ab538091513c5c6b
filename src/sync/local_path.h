#pragma once

#include <string>
#include <string_view>

namespace ravelo {

class TNode;

// The node's local path: local_root, "/" and GetPath with every "\" turned
// into "/"; for the root, local_root and "/". local_root has no trailing "/".
// Throws ETerminated when the node or one of its folders has left the tree:
// its path would then name another place (a detached folder's children see
// it as their root), and its operation has been cancelled anyway.
std::string LocalNodePath(std::string_view local_root, const TNode& node);

// The path a child named name of folder would have (used by renames).
std::string LocalChildPath(std::string_view local_root, const TNode& folder, std::string_view name);

// LocalNodePath under the installed project's local root.
std::string LocalPath(const TNode& node);

}  // namespace ravelo
