#include "sync/local_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace ravelo {

void CreateFolderChain(const std::string& path) {
  std::filesystem::create_directories(path);
}

void CreateEmptyFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) throw std::system_error(errno, std::generic_category());
  ::close(fd);
}

bool MoveWithoutReplacing(const std::string& from, const std::string& to) {
  // rename(2) would silently replace a file of the new name that the tree
  // does not know of; the move must fail instead.
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without the flag: test first, then move.
  std::error_code error;
  if (std::filesystem::symlink_status(to, error).type() != std::filesystem::file_type::not_found)
    return false;
  return std::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace ravelo
