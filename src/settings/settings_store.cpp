#include "settings/settings_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <system_error>

#include "settings/settings_error.h"
#include "settings/settings_format.h"

namespace ravelo {

namespace {

// Closes a file descriptor when it goes.
class TFd {
 public:
  explicit TFd(int fd = -1) : fd_(fd) {}
  ~TFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return fd_; }
  void Reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  // Closes now and answers whether the close succeeded (a write error may
  // show only here).
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

std::int64_t Nanoseconds(const timespec& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// Opens the file; answers false when it (or its folder) does not exist.
bool OpenExisting(const std::filesystem::path& file, TFd& fd) {
  const int handle = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (handle < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return false;
    throw ESettingsFileError("Read", file.string(), errno);
  }
  fd.Reset(handle);
  return true;
}

std::string ReadAll(int fd, const std::filesystem::path& file) {
  std::string text;
  char buffer[8192];
  for (;;) {
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count < 0) {
      if (errno == EINTR) continue;
      throw ESettingsFileError("Read", file.string(), errno);
    }
    if (count == 0) return text;
    text.append(buffer, static_cast<std::size_t>(count));
  }
}

void WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t count = ::write(fd, text.data(), text.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      throw std::system_error(errno, std::generic_category());
    }
    text.remove_prefix(static_cast<std::size_t>(count));
  }
}

std::string TempPrefix(const std::filesystem::path& target) {
  return target.string() + ".tmp-";
}

// Writes text to a fresh temporary file beside target, flushes it to disk and
// renames it over target, then flushes the folder so the rename lasts.
void WriteAtomically(const std::filesystem::path& target, std::string_view text, int dir_fd) {
  std::string temp = TempPrefix(target) + "XXXXXX";
  const int handle = ::mkostemp(temp.data(), O_CLOEXEC);  // mode 0600
  if (handle < 0) throw ESettingsFileError("Write", target.string(), errno);
  TFd fd(handle);
  try {
    WriteAll(fd.Get(), text);
    if (::fsync(fd.Get()) != 0 || !fd.Close())
      throw std::system_error(errno, std::generic_category());
    if (::rename(temp.c_str(), target.c_str()) != 0) {
      throw std::system_error(errno, std::generic_category());
    }
  } catch (const std::system_error& e) {
    ::unlink(temp.c_str());
    throw ESettingsFileError("Write", target.string(), e.code().value());
  }
  ::fsync(dir_fd);  // best effort: some file systems cannot flush a folder
}

// Removes the temporary files that interrupted writers left behind. Called
// only while holding the folder lock, when no other writer is between
// creating and renaming its temporary file.
void RemoveStrayTemps(const std::filesystem::path& target) {
  const std::string prefix = target.filename().string() + ".tmp-";
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(target.parent_path(), error)) {
    const std::string name = entry.path().filename().string();
    if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0) {
      std::filesystem::remove(entry.path(), error);
    }
  }
}

// Moves the damaged file to "<name>.damaged-YYYYMMDD-HHMMSS", never over an
// existing file; answers the new name.
std::filesystem::path MoveAside(const std::filesystem::path& target) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  const std::string base = target.string() + ".damaged-" + stamp;
  for (int n = 1; n < 10000; ++n) {
    const std::string candidate = n == 1 ? base : base + "-" + std::to_string(n);
    if (::renameat2(AT_FDCWD, target.c_str(), AT_FDCWD, candidate.c_str(), RENAME_NOREPLACE) == 0) {
      return candidate;
    }
    if (errno == EEXIST) continue;
    if (errno != EINVAL && errno != ENOSYS)
      throw ESettingsFileError("Move Aside", target.string(), errno);
    // The file system cannot refuse to replace; the folder lock keeps the
    // test and the rename together against other instances.
    struct stat status;
    if (::lstat(candidate.c_str(), &status) == 0) continue;
    if (::rename(target.c_str(), candidate.c_str()) != 0) {
      throw ESettingsFileError("Move Aside", target.string(), errno);
    }
    return candidate;
  }
  throw ESettingsFileError("Move Aside", target.string(), EEXIST);
}

// The file to replace: the target of a symbolic link, so the link survives.
// A bare file name gets "./", so its folder (for the lock, the temporary file
// and the cleanup) is the working folder rather than an empty path.
std::filesystem::path WriteTarget(const std::filesystem::path& file) {
  std::error_code error;
  if (std::filesystem::is_symlink(file, error)) {
    auto target = std::filesystem::weakly_canonical(file, error);
    if (!error) return target;
  }
  if (file.parent_path().empty()) return std::filesystem::path(".") / file;
  return file;
}

}  // namespace

std::filesystem::path CurrentUserSettingsFile() {
  std::filesystem::path config;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') {
    config = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
      const passwd* user = ::getpwuid(::getuid());
      home = user != nullptr ? user->pw_dir : nullptr;
    }
    if (home == nullptr || home[0] == '\0') {
      throw ESettings("Can't Find The Home Folder For The Settings File");
    }
    config = std::filesystem::path(home) / ".config";
  }
  return config / "ravelo" / "settings";
}

TSettingsStore::TSettingsStore(std::filesystem::path file_name)
    : file_name_(std::move(file_name)) {}

TSettingsStore TSettingsStore::CurrentUser() {
  return TSettingsStore(CurrentUserSettingsFile());
}

void TSettingsStore::Refresh() {
  TFd fd;
  if (!OpenExisting(file_name_, fd)) {
    if (!read_ || version_) tree_ = TSettingsTree();
    version_.reset();
    read_ = true;
    return;
  }
  struct stat status;
  if (::fstat(fd.Get(), &status) != 0) throw ESettingsFileError("Read", file_name_.string(), errno);
  const TFileVersion version{status.st_dev, status.st_ino, status.st_size,
                             Nanoseconds(status.st_mtim), Nanoseconds(status.st_ctim)};
  if (read_ && version_ == version) return;
  if (damaged_ == version) {
    tree_ = TSettingsTree();
  } else {
    const std::string text = ReadAll(fd.Get(), file_name_);
    try {
      tree_ = ParseSettings(text, file_name_.string());
    } catch (const ESettingsDamaged&) {
      // Reported once; afterwards the root counts as empty until a write
      // moves the damaged file aside.
      damaged_ = version;
      tree_ = TSettingsTree();
      version_ = version;
      read_ = true;
      throw;
    }
  }
  version_ = version;
  read_ = true;
}

const TSettingsTree& TSettingsStore::Read() {
  Refresh();
  return tree_;
}

bool TSettingsStore::Update(const std::function<bool(TSettingsTree&)>& change) {
  Refresh();  // a damaged file not reported yet is reported here, before anything happens
  const std::filesystem::path target = WriteTarget(file_name_);
  const std::filesystem::path folder = target.parent_path();
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) throw ESettingsFileError("Write", target.string(), error.value());
  TFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.Get() < 0) throw ESettingsFileError("Write", target.string(), errno);
  // Held until dir closes. Without lock support writes stay atomic, but two
  // instances may then lose each other's changes.
  int locked;
  do {
    locked = ::flock(dir.Get(), LOCK_EX);
  } while (locked != 0 && errno == EINTR);

  TSettingsTree fresh;
  TFd fd;
  if (OpenExisting(target, fd)) {
    const std::string text = ReadAll(fd.Get(), target);
    fd.Close();
    try {
      fresh = ParseSettings(text, target.string());
    } catch (const ESettingsDamaged&) {
      damaged_copy_ = MoveAside(target);
    }
  }
  TSettingsTree changed = fresh;
  const bool result = change(changed);
  if (locked == 0) RemoveStrayTemps(target);
  if (changed != fresh) WriteAtomically(target, FormatSettings(changed), dir.Get());
  tree_ = std::move(changed);
  read_ = true;
  version_.reset();
  struct stat status;
  if (::stat(file_name_.c_str(), &status) == 0) {
    version_ = TFileVersion{status.st_dev, status.st_ino, status.st_size,
                            Nanoseconds(status.st_mtim), Nanoseconds(status.st_ctim)};
  }
  return result;
}

bool TSettingsStore::KeyExists(std::string_view path) {
  Refresh();
  return tree_.KeyExists(path);
}

bool TSettingsStore::OpenOrCreateKey(std::string_view path) {
  std::vector<std::string_view> names;
  if (!SplitKeyPath(path, names)) return false;
  if (KeyExists(path)) return true;
  return Update([&](TSettingsTree& tree) { return tree.OpenOrCreateKey(path); });
}

bool TSettingsStore::DeleteKey(std::string_view path) {
  if (!KeyExists(path)) return false;
  return Update([&](TSettingsTree& tree) { return tree.DeleteKey(path); });
}

std::vector<std::string> TSettingsStore::GetKeyNames(std::string_view path) {
  Refresh();
  return tree_.GetKeyNames(path);
}

std::vector<std::string> TSettingsStore::GetValueNames(std::string_view path) {
  Refresh();
  return tree_.GetValueNames(path);
}

bool TSettingsStore::ValueExists(std::string_view path, std::string_view name) {
  Refresh();
  return tree_.ValueExists(path, name);
}

bool TSettingsStore::DeleteValue(std::string_view path, std::string_view name) {
  if (!ValueExists(path, name)) return false;
  return Update([&](TSettingsTree& tree) { return tree.DeleteValue(path, name); });
}

std::string TSettingsStore::ReadString(std::string_view path, std::string_view name) {
  Refresh();
  return tree_.ReadString(path, name);
}

void TSettingsStore::WriteString(std::string_view path, std::string_view name,
                                 std::string_view value) {
  Update([&](TSettingsTree& tree) {
    tree.WriteString(path, name, value);
    return true;
  });
}

std::uint8_t TSettingsStore::ReadByte(std::string_view path, std::string_view name) {
  Refresh();
  return tree_.ReadByte(path, name);
}

void TSettingsStore::WriteByte(std::string_view path, std::string_view name, std::uint8_t value) {
  Update([&](TSettingsTree& tree) {
    tree.WriteByte(path, name, value);
    return true;
  });
}

bool TSettingsStore::ReadBool(std::string_view path, std::string_view name) {
  Refresh();
  return tree_.ReadBool(path, name);
}

void TSettingsStore::WriteBool(std::string_view path, std::string_view name, bool value) {
  Update([&](TSettingsTree& tree) {
    tree.WriteBool(path, name, value);
    return true;
  });
}

}  // namespace ravelo
