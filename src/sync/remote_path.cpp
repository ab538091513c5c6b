#include "sync/remote_path.h"

#include <algorithm>
#include <optional>

#include "model/node.h"
#include "model/tree_errors.h"

namespace ravelo {

std::string NormalizeRemoteRoot(std::string_view remote_path) {
  while (remote_path.ends_with('/')) remote_path.remove_suffix(1);
  if (remote_path.empty()) return {};
  std::string root(remote_path);
  if (!root.starts_with('/')) root.insert(0, 1, '/');
  return root;
}

std::string RemoteNodePath(std::string_view remote_root, const TNode& node) {
  std::optional<std::string> path = node.TreePath();
  if (!path) throw ETerminated();
  if (path->empty()) return remote_root.empty() ? std::string("/") : std::string(remote_root);
  std::replace(path->begin(), path->end(), '\\', '/');
  return std::string(remote_root) + "/" + *path;
}

}  // namespace ravelo
