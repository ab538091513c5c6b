#include "sync/local_path.h"

#include <algorithm>
#include <optional>

#include "model/node.h"
#include "model/tree_errors.h"
#include "sync/sync_project.h"

namespace ravelo {

std::string RelativeLocalPath(const TNode& node) {
  std::optional<std::string> path = node.TreePath();
  if (!path) throw ETerminated();
  std::replace(path->begin(), path->end(), '\\', '/');
  return *path;
}

std::string LocalNodePath(std::string_view local_root, const TNode& node) {
  std::string path(local_root);
  path += '/';
  path += RelativeLocalPath(node);
  return path;
}

std::string LocalPath(const TNode& node) {
  return LocalNodePath(SyncProject().LocalRoot(), node);
}

}  // namespace ravelo
