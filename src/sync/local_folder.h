#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace ravelo {

// A folder of the local cache, opened from the local root one name at a
// time without following a symbolic link: a link leads out of the cache
// (to the user's home, say), so nothing is read, written or deleted
// through one. The root itself is opened as the user chose it. Every
// access to a node's local file or folder goes through one, by the
// descriptor and a name (openat, fstatat, unlinkat). Owns the descriptor;
// one thread at a time.
class TLocalFolder {
 public:
  // relative: names joined by "/", empty for the root itself. Throws
  // std::system_error: ENOENT when a folder on the way is missing, ENOTDIR
  // when a link or a file stands in its place. With create, missing folders
  // are made (a link or a file in the way still fails).
  static TLocalFolder Open(const std::string& root, std::string_view relative, bool create = false);
  // The same, none when the folder is missing or something else stands in
  // its place; other errors (permissions) still throw.
  static std::optional<TLocalFolder> OpenIfThere(const std::string& root,
                                                 std::string_view relative);

  TLocalFolder(TLocalFolder&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  TLocalFolder& operator=(TLocalFolder&& other) noexcept;
  ~TLocalFolder();

  int Fd() const { return fd_; }
  // Gives the descriptor up to the caller (fdopendir takes it over).
  int Release() { return std::exchange(fd_, -1); }
  // The entry's own status (a link is not followed); false when missing.
  // Throws std::system_error for other failures.
  bool Status(std::string_view name, struct stat& status) const;

 private:
  explicit TLocalFolder(int fd) : fd_(fd) {}

  int fd_;
};

// "a/b/c" -> {"a/b", "c"}; "c" -> {"", "c"}.
std::pair<std::string_view, std::string_view> SplitLastName(std::string_view relative);

}  // namespace ravelo
