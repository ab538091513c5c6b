#include "shell/file_system.h"

#include <sys/stat.h>

namespace ravelo {

namespace {

std::string_view WithoutTrailingSlashes(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  return path;
}

std::optional<dev_t> DeviceOf(std::string path, bool follow_first) {
  struct stat status {};
  if ((follow_first ? ::stat(path.c_str(), &status) : ::lstat(path.c_str(), &status)) == 0)
    return status.st_dev;
  // The place the path would be created at: its nearest existing ancestor.
  for (int depth = 0; depth < 4096; ++depth) {
    const std::string parent = ParentPath(path);
    if (::stat(parent.c_str(), &status) == 0) return status.st_dev;
    if (parent == path) return std::nullopt;
    path = parent;
  }
  return std::nullopt;
}

}  // namespace

std::string ParentPath(const std::string& path) {
  const std::string_view trimmed = WithoutTrailingSlashes(path);
  const auto slash = trimmed.rfind('/');
  if (slash == std::string_view::npos) return ".";
  const std::string_view parent = WithoutTrailingSlashes(trimmed.substr(0, slash));
  return parent.empty() ? "/" : std::string(parent);
}

std::string NamePart(const std::string& path) {
  const std::string_view trimmed = WithoutTrailingSlashes(path);
  if (trimmed == "/") return {};
  const auto slash = trimmed.rfind('/');
  return std::string(slash == std::string_view::npos ? trimmed : trimmed.substr(slash + 1));
}

std::optional<dev_t> FileSystemOf(const std::string& path) {
  return DeviceOf(path, false);
}

bool AllOnFileSystemOf(const std::vector<std::string>& paths, const std::string& folder) {
  const auto target = DeviceOf(folder, true);
  if (!target || paths.empty()) return false;
  for (const std::string& path : paths)
    if (FileSystemOf(path) != target) return false;
  return true;
}

}  // namespace ravelo
