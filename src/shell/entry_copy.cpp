#include "shell/entry_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "shell/file_system.h"

namespace ravelo {

namespace {

// Small enough that a cancel is seen within a fraction of a second even on a
// slow disk.
constexpr std::size_t kChunkSize = 256 * 1024;

std::string PartialName(const std::string& target) {
  static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937_64 generator{std::random_device{}()};
  std::uniform_int_distribution<int> pick(0, sizeof(kAlphabet) - 2);
  std::string name = ParentPath(target) + "/" + std::string(kPartialCopyPrefix);
  for (int i = 0; i < 12; ++i) name.push_back(kAlphabet[pick(generator)]);
  return name;
}

struct TCloser {
  int fd;
  ~TCloser() { ::close(fd); }
};

// A partial target: removed on destruction unless it was put in place.
class TPartial {
 public:
  explicit TPartial(std::string path) : path_(std::move(path)) {}
  ~TPartial() {
    if (fd_ >= 0) ::close(fd_);
    if (!placed_) ::unlink(path_.c_str());
  }
  TPartial(const TPartial&) = delete;
  TPartial& operator=(const TPartial&) = delete;

  const std::string& Path() const { return path_; }
  int& Descriptor() { return fd_; }
  void CloseDescriptor() {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) ThrowFileError(errno, path_);
  }
  void Place(const std::string& target, bool replace) {
    if (!RenameEntry(path_, target, replace)) ThrowFileError(EXDEV, target);
    placed_ = true;
  }

 private:
  std::string path_;
  int fd_ = -1;
  bool placed_ = false;
};

void RefuseExisting(const std::string& target, const TCopyOptions& options) {
  struct stat status {};
  if (!options.Replace && ::lstat(target.c_str(), &status) == 0) throw ETargetExists(target);
}

bool IsCancelled(const TCopyOptions& options) {
  return options.Cancelled != nullptr && options.Cancelled->load();
}

void WriteAll(int fd, const char* data, std::size_t size, const std::string& path) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      ThrowFileError(errno, path);
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

}  // namespace

void ThrowFileError(int error, const std::string& path) {
  throw std::system_error(error, std::generic_category(), path);
}

bool CopyRegularFile(const std::string& source, const std::string& target,
                     const TCopyOptions& options) {
  RefuseExisting(target, options);
  // O_NONBLOCK: a source swapped for a pipe since it was listed must not hang us.
  const int in = ::open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (in < 0) ThrowFileError(errno, source);
  const TCloser closer{in};
  struct stat status {};
  if (::fstat(in, &status) != 0) ThrowFileError(errno, source);
  if (!S_ISREG(status.st_mode)) ThrowFileError(EINVAL, source);

  int fd = -1;
  std::unique_ptr<TPartial> partial;
  for (int attempt = 0; fd < 0; ++attempt) {
    partial = std::make_unique<TPartial>(PartialName(target));
    fd = ::open(partial->Path().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && (errno != EEXIST || attempt == 100)) {
      const int error = errno;
      partial.reset();
      ThrowFileError(error, target);
    }
  }
  partial->Descriptor() = fd;

  std::vector<char> buffer(kChunkSize);
  std::int64_t done = 0;
  while (true) {
    if (IsCancelled(options)) return false;
    const ssize_t got = ::read(in, buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      ThrowFileError(errno, source);
    }
    if (got == 0) break;
    WriteAll(fd, buffer.data(), static_cast<std::size_t>(got), target);
    done += got;
    if (options.Progress) options.Progress(done);
  }
  if (::fchmod(fd, status.st_mode & 0777) != 0) ThrowFileError(errno, target);
  const timespec times[2] = {status.st_atim, status.st_mtim};
  if (::futimens(fd, times) != 0) ThrowFileError(errno, target);
  if (options.Flush && ::fsync(fd) != 0) ThrowFileError(errno, target);
  partial->CloseDescriptor();
  partial->Place(target, options.Replace);
  if (options.Flush) FlushFolder(ParentPath(target));
  return true;
}

void CopySymbolicLink(const std::string& source, const std::string& target,
                      const TCopyOptions& options) {
  RefuseExisting(target, options);
  std::string contents(256, '\0');
  while (true) {
    const ssize_t length = ::readlink(source.c_str(), contents.data(), contents.size());
    if (length < 0) ThrowFileError(errno, source);
    if (static_cast<std::size_t>(length) < contents.size()) {
      contents.resize(static_cast<std::size_t>(length));
      break;
    }
    contents.resize(contents.size() * 2);
  }
  struct stat status {};
  if (::lstat(source.c_str(), &status) != 0) ThrowFileError(errno, source);

  std::unique_ptr<TPartial> partial;
  for (int attempt = 0;; ++attempt) {
    partial = std::make_unique<TPartial>(PartialName(target));
    if (::symlink(contents.c_str(), partial->Path().c_str()) == 0) break;
    const int error = errno;
    if (error != EEXIST || attempt == 100) {
      partial.reset();
      ThrowFileError(error, target);
    }
  }
  const timespec times[2] = {status.st_atim, status.st_mtim};
  ::utimensat(AT_FDCWD, partial->Path().c_str(), times, AT_SYMLINK_NOFOLLOW);
  partial->Place(target, options.Replace);
  if (options.Flush) FlushFolder(ParentPath(target));
}

bool RenameEntry(const std::string& source, const std::string& target, bool replace) {
  int result = 0;
  if (replace) {
    result = std::rename(source.c_str(), target.c_str());
  } else {
    result = ::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE);
    if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
      // A file system without the flag: test first, then rename.
      struct stat status {};
      if (::lstat(target.c_str(), &status) == 0) throw ETargetExists(target);
      result = std::rename(source.c_str(), target.c_str());
    }
  }
  if (result == 0) return true;
  if (errno == EXDEV) return false;
  if (errno == EEXIST && !replace) throw ETargetExists(target);
  ThrowFileError(errno, target);
}

void FlushFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) ThrowFileError(errno, folder);
  const int result = ::fsync(fd);
  const int error = errno;
  ::close(fd);
  if (result != 0) ThrowFileError(error, folder);
}

}  // namespace ravelo
