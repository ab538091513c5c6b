#include "sync/local_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <system_error>

#include "sync/local_folder.h"

namespace ravelo {

namespace {

[[noreturn]] void ThrowSystemError(int error) {
  throw std::system_error(error, std::generic_category());
}

}  // namespace

void CreateFolderChain(const std::string& root, std::string_view relative) {
  TLocalFolder::Open(root, relative, /*create=*/true);
}

void CreateEmptyFile(const std::string& root, std::string_view relative) {
  const auto [folder_path, name] = SplitLastName(relative);
  const TLocalFolder folder = TLocalFolder::Open(root, folder_path, /*create=*/true);
  const std::string file(name);
  // O_EXCL never follows a link and never opens what is there.
  const int fd = ::openat(folder.Fd(), file.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd >= 0) {
    ::close(fd);
    return;
  }
  const int error = errno;
  struct stat status {};
  if (error == EEXIST && folder.Status(file, status) && S_ISREG(status.st_mode)) return;
  ThrowSystemError(error);
}

bool LocalEntryExists(const std::string& root, std::string_view folder, std::string_view name) {
  const std::optional<TLocalFolder> parent = TLocalFolder::OpenIfThere(root, folder);
  struct stat status {};
  return parent && parent->Status(name, status);
}

void MoveWithoutReplacing(const std::string& root, std::string_view folder, std::string_view from,
                          std::string_view to) {
  const TLocalFolder parent = TLocalFolder::Open(root, folder);
  const std::string old_name(from);
  const std::string new_name(to);
  // rename(2) would silently replace an entry of the new name that the tree
  // does not know of; the move must fail instead.
  if (::renameat2(parent.Fd(), old_name.c_str(), parent.Fd(), new_name.c_str(), RENAME_NOREPLACE) ==
      0)
    return;
  if (errno != EINVAL && errno != ENOSYS) ThrowSystemError(errno);
  // A file system without the flag: test first, then move.
  struct stat status {};
  if (parent.Status(new_name, status)) ThrowSystemError(EEXIST);
  if (::renameat(parent.Fd(), old_name.c_str(), parent.Fd(), new_name.c_str()) != 0)
    ThrowSystemError(errno);
}

int OpenLocalFileForReading(const std::string& root, std::string_view relative) {
  const auto [folder_path, name] = SplitLastName(relative);
  const TLocalFolder folder = TLocalFolder::Open(root, folder_path);
  // Not blocking: a pipe in the file's place must not hang the transfer.
  const int fd = ::openat(folder.Fd(), std::string(name).c_str(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) ThrowSystemError(errno);
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    ThrowSystemError(EINVAL);
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

}  // namespace ravelo
