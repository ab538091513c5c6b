#include "project/cli_text.h"

#include <algorithm>

#include "model/branch.h"
#include "model/node.h"

namespace ravelo {

std::optional<std::string> CliNodePath(const TNode& node) {
  std::optional<std::string> path = node.TreePath();
  if (!path) return std::nullopt;
  std::replace(path->begin(), path->end(), '\\', '/');
  std::string text = path->empty() ? "." : CliEscape(*path);
  if (dynamic_cast<const TBranch*>(&node) != nullptr) text += '/';
  return text;
}

}  // namespace ravelo
