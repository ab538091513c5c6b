#pragma once

#include <string>
#include <string_view>

namespace ravelo {

class TNode;

// The project's remote folder as the server uses it: empty for the
// server's root, else beginning with "/" and not ending with one
// ("www/" -> "/www", "/" -> "").
std::string NormalizeRemoteRoot(std::string_view remote_path);

// The node's path on the server: remote_root (normalized), "/" and the
// node's path with "/" for "\"; for the root, remote_root, or "/" when that
// is empty. Throws ETerminated when the node or a folder above it has left
// the tree: its path would name another place.
std::string RemoteNodePath(std::string_view remote_root, const TNode& node);

}  // namespace ravelo
