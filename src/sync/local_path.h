#pragma once

#include <string>
#include <string_view>

namespace ravelo {

class TNode;

// The node's path below the local root: GetPath with every "\" turned into
// "/"; empty for the root. Throws ETerminated when the node or one of its
// folders has left the tree: its path would then name another place (a
// detached folder's children see it as their root), and its operation has
// been cancelled anyway.
std::string RelativeLocalPath(const TNode& node);

// The node's local path: local_root, "/" and RelativeLocalPath; for the
// root, local_root and "/". local_root has no trailing "/". For messages and
// for handing a file to another program; the nodes reach the disk through
// TLocalFolder, which follows no link.
std::string LocalNodePath(std::string_view local_root, const TNode& node);

// LocalNodePath under the installed project's local root.
std::string LocalPath(const TNode& node);

}  // namespace ravelo
