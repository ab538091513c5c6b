#include "sync/local_copy.h"

#include "sync/local_files.h"
#include "sync/local_folder.h"
#include "sync/local_path.h"

namespace ravelo {

std::string LocalCopyName(const std::string& local_path,
                          const std::function<bool(const std::string&)>& exists) {
  const auto slash = local_path.rfind('/');
  const auto name_start = slash == std::string::npos ? 0 : slash + 1;
  auto dot = local_path.rfind('.');
  if (dot == std::string::npos || dot < name_start) dot = local_path.size();
  const std::string stem = local_path.substr(0, dot);
  const std::string extension = local_path.substr(dot);
  std::string candidate = stem + " (local)" + extension;
  for (int k = 2; exists(candidate); ++k) {
    candidate = stem;
    candidate.append(" (local ").append(std::to_string(k)).append(")").append(extension);
  }
  return candidate;
}

std::string RenameLocalCopy(const std::string& local_root, const TNode& file) {
  const std::string relative = RelativeLocalPath(file);
  const auto [folder, name] = SplitLastName(relative);
  const std::string copy = LocalCopyName(std::string(name), [&](const std::string& candidate) {
    return LocalEntryExists(local_root, folder, candidate);
  });
  MoveWithoutReplacing(local_root, folder, name, copy);
  return copy;
}

}  // namespace ravelo
