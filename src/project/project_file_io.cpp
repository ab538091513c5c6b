#include "project/project_file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace ravelo {

namespace {

[[noreturn]] void ThrowFileError(int error, const std::string& path) {
  throw std::system_error(error, std::generic_category(), path);
}

// The folder part of a path ("." when it has none).
std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::string ReadProjectFileBytes(const std::string& file_name) {
  const int fd = ::open(file_name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) ThrowFileError(errno, file_name);
  std::string bytes;
  int error = 0;
  struct stat status {};
  if (::fstat(fd, &status) != 0) {
    error = errno;
  } else if (!S_ISREG(status.st_mode)) {
    error = EISDIR;
  } else {
    // The size is a hint only: the file may change while it is read.
    bytes.reserve(static_cast<std::size_t>(status.st_size));
    char buffer[65536];
    for (;;) {
      const ssize_t count = ::read(fd, buffer, sizeof buffer);
      if (count < 0 && errno == EINTR) continue;
      if (count < 0) error = errno;
      if (count <= 0) break;
      bytes.append(buffer, static_cast<std::size_t>(count));
    }
  }
  ::close(fd);
  if (error != 0) ThrowFileError(error, file_name);
  return bytes;
}

TReplacementFile::TReplacementFile(std::string target)
    : target_(std::move(target)), temp_(target_ + ".new") {
  // A ".new" file left by an interrupted save (or planted as a link) goes
  // first, so the new one is ours and has our permissions.
  if (::unlink(temp_.c_str()) != 0 && errno != ENOENT) ThrowFileError(errno, temp_);
  fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd_ < 0) ThrowFileError(errno, temp_);
  // The umask may only narrow the mode; set it exactly.
  if (::fchmod(fd_, 0600) != 0) {
    const int error = errno;
    ::close(fd_);
    ::unlink(temp_.c_str());
    ThrowFileError(error, temp_);
  }
}

TReplacementFile::~TReplacementFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_) ::unlink(temp_.c_str());
}

void TReplacementFile::Commit(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t count = ::write(fd_, bytes.data(), bytes.size());
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) ThrowFileError(count < 0 ? errno : EIO, temp_);
    bytes.remove_prefix(static_cast<std::size_t>(count));
  }
  if (::fsync(fd_) != 0) ThrowFileError(errno, temp_);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) ThrowFileError(errno, temp_);
  if (::rename(temp_.c_str(), target_.c_str()) != 0) ThrowFileError(errno, target_);
  committed_ = true;
  // Best effort: some file systems cannot flush a folder, and the new
  // content is in place already.
  const int folder = ::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
}

}  // namespace ravelo
