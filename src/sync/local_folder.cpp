#include "sync/local_folder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace ravelo {

namespace {

[[noreturn]] void ThrowSystemError(int error) {
  throw std::system_error(error, std::generic_category());
}

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

// One name down from fd, never through a link (ENOTDIR then).
int OpenChild(int fd, const std::string& name, bool create) {
  for (int attempt = 0;; ++attempt) {
    const int child = ::openat(fd, name.c_str(), kFolderFlags | O_NOFOLLOW);
    if (child >= 0) return child;
    // Made by us, or by another thread between the two calls: open again.
    if (errno != ENOENT || !create || attempt > 0) ThrowSystemError(errno);
    if (::mkdirat(fd, name.c_str(), 0777) != 0 && errno != EEXIST) ThrowSystemError(errno);
  }
}

bool Missing(int error) {
  return error == ENOENT || error == ENOTDIR || error == ELOOP;
}

}  // namespace

std::pair<std::string_view, std::string_view> SplitLastName(std::string_view relative) {
  const auto slash = relative.rfind('/');
  if (slash == std::string_view::npos) return {std::string_view(), relative};
  return {relative.substr(0, slash), relative.substr(slash + 1)};
}

TLocalFolder TLocalFolder::Open(const std::string& root, std::string_view relative, bool create) {
  TLocalFolder folder(::open(root.c_str(), kFolderFlags));
  if (folder.fd_ < 0) ThrowSystemError(errno);
  while (!relative.empty()) {
    const auto slash = relative.find('/');
    const std::string name(relative.substr(0, slash));
    relative = slash == std::string_view::npos ? std::string_view() : relative.substr(slash + 1);
    if (name.empty()) continue;
    folder = TLocalFolder(OpenChild(folder.fd_, name, create));
  }
  return folder;
}

std::optional<TLocalFolder> TLocalFolder::OpenIfThere(const std::string& root,
                                                      std::string_view relative) {
  try {
    return Open(root, relative);
  } catch (const std::system_error& error) {
    if (Missing(error.code().value())) return std::nullopt;
    throw;
  }
}

TLocalFolder& TLocalFolder::operator=(TLocalFolder&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

TLocalFolder::~TLocalFolder() {
  if (fd_ >= 0) ::close(fd_);
}

bool TLocalFolder::Status(std::string_view name, struct stat& status) const {
  if (::fstatat(fd_, std::string(name).c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) return true;
  if (errno == ENOENT) return false;
  ThrowSystemError(errno);
}

}  // namespace ravelo
