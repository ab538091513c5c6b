#include "sync/download_temp_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <system_error>

namespace ravelo {

namespace {

[[noreturn]] void ThrowSystemError(int error) {
  throw std::system_error(error, std::generic_category());
}

std::string RandomSuffix() {
  static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937_64 generator{std::random_device{}()};
  std::uniform_int_distribution<int> pick(0, sizeof(kAlphabet) - 2);
  std::string suffix(12, ' ');
  for (char& c : suffix) c = kAlphabet[pick(generator)];
  return suffix;
}

}  // namespace

bool IsDownloadTempName(std::string_view name) {
  return name.starts_with(kDownloadTempPrefix);
}

TDownloadTempFile::TDownloadTempFile(const std::string& root, std::string_view relative)
    : folder_(TLocalFolder::Open(root, SplitLastName(relative).first, /*create=*/true)),
      target_(SplitLastName(relative).second) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    name_ = std::string(kDownloadTempPrefix) + RandomSuffix();
    fd_ = ::openat(folder_.Fd(), name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) return;
    if (errno != EEXIST) ThrowSystemError(errno);
  }
  ThrowSystemError(EEXIST);
}

TDownloadTempFile::~TDownloadTempFile() {
  Close();
  if (!committed_) ::unlinkat(folder_.Fd(), name_.c_str(), 0);
}

void TDownloadTempFile::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      ThrowSystemError(errno);
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
}

void TDownloadTempFile::Commit() {
  // The new copy takes the place of the old one with its permissions: a
  // private file stays private, a script stays executable.
  struct stat target {};
  if (folder_.Status(target_, target)) {
    if (!S_ISREG(target.st_mode)) ThrowSystemError(EEXIST);
    ::fchmod(fd_, target.st_mode & 07777);
  }
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) ThrowSystemError(errno);
  if (::renameat(folder_.Fd(), name_.c_str(), folder_.Fd(), target_.c_str()) != 0)
    ThrowSystemError(errno);
  committed_ = true;
}

void TDownloadTempFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace ravelo
