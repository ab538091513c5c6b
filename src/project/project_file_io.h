#pragma once

#include <string>
#include <string_view>

namespace ravelo {

// The whole content of the file. Throws std::system_error (the path and the
// system's message) when it cannot be opened or read, or is no regular
// file.
std::string ReadProjectFileBytes(const std::string& file_name);

// Replaces a file's content so that a crash or a kill at any moment leaves
// either the old content or the new, whole. The bytes go to target + ".new",
// made afresh and readable and writable by its owner only; Commit flushes
// it to disk, renames it over the target in one step and flushes the
// folder, so that the rename lasts. The old file is never deleted first nor
// written to; a symbolic link at either name is replaced, never followed.
// One thread.
class TReplacementFile {
 public:
  // Creates target + ".new", replacing any file of that name. Throws
  // std::system_error.
  explicit TReplacementFile(std::string target);
  // Removes the ".new" file unless Commit succeeded.
  ~TReplacementFile();
  TReplacementFile(const TReplacementFile&) = delete;
  TReplacementFile& operator=(const TReplacementFile&) = delete;

  // Writes the bytes and puts the file in the target's place. Throws
  // std::system_error; the target is then as it was.
  void Commit(std::string_view bytes);

 private:
  const std::string target_;
  const std::string temp_;
  int fd_ = -1;  // open until Commit closes it
  bool committed_ = false;
};

}  // namespace ravelo
