#include "sync/local_path.h"

#include <algorithm>

#include "model/branch.h"
#include "model/tree_errors.h"
#include "sync/sync_project.h"

namespace ravelo {

namespace {

std::string RelativePath(const TNode& node) {
  for (const TNode* up = &node; up != nullptr; up = up->Parent())
    if (up->IsDetached()) throw ETerminated();
  std::string path = node.GetPath();
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

}  // namespace

std::string LocalNodePath(std::string_view local_root, const TNode& node) {
  std::string path(local_root);
  path += '/';
  path += RelativePath(node);
  return path;
}

std::string LocalChildPath(std::string_view local_root, const TNode& folder,
                           std::string_view name) {
  std::string path = LocalNodePath(local_root, folder);
  if (path.back() != '/') path += '/';
  path += name;
  return path;
}

std::string LocalPath(const TNode& node) {
  return LocalNodePath(SyncProject().LocalRoot(), node);
}

}  // namespace ravelo
