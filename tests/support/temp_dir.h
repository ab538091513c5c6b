#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace ravelo::test {

// A fresh folder under $TMPDIR (else /tmp), removed with everything in it
// when the object goes. Relative paths below use "/".
class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string PathString() const { return path_.string(); }
  std::filesystem::path operator/(std::string_view relative) const { return path_ / relative; }

  // Creates the file (and its missing folders) with the given content.
  std::filesystem::path CreateFile(std::string_view relative, std::string_view content = {}) const;
  std::filesystem::path CreateDir(std::string_view relative) const;
  std::string ReadFile(std::string_view relative) const;
  bool Exists(std::string_view relative) const;

 private:
  std::filesystem::path path_;
};

}  // namespace ravelo::test
