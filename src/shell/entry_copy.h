#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>

namespace ravelo {

// The file operations of a drop. Failures raise std::system_error carrying
// the path and errno; a target that exists where it may not be replaced
// raises ETargetExists. Any thread, one operation per call.

// Partial copies are named like partial downloads, so the local listings and
// the folder watcher never show them.
inline constexpr std::string_view kPartialCopyPrefix = ".ravelo-download-";

class ETargetExists : public std::system_error {
 public:
  explicit ETargetExists(const std::string& target)
      : std::system_error(EEXIST, std::generic_category(), target), target_(target) {}
  const std::string& Target() const { return target_; }

 private:
  std::string target_;
};

[[noreturn]] void ThrowFileError(int error, const std::string& path);

struct TCopyOptions {
  bool Replace = false;  // replace an existing file or link at the target
  bool Flush = false;    // data and folder entry on disk before returning (a move)
  const std::atomic<bool>* Cancelled = nullptr;
  std::function<void(std::int64_t bytes)> Progress;  // bytes of this file so far
};

// Copies a regular file into a temporary in the target's folder and renames
// it to the target only when complete, with the source's modification time
// and permission bits. Returns false when cancelled; a cancelled or failed
// copy leaves no partial file.
bool CopyRegularFile(const std::string& source, const std::string& target,
                     const TCopyOptions& options);

// Makes target a symbolic link with the same contents as the link source
// (never following it), keeping its modification time.
void CopySymbolicLink(const std::string& source, const std::string& target,
                      const TCopyOptions& options);

// Renames source to target within one file system. Without replace an
// existing target raises ETargetExists. Returns false when the two are on
// different mounts and the entry has to be copied instead.
bool RenameEntry(const std::string& source, const std::string& target, bool replace);

// Makes the folder's entries durable (after a rename into it).
void FlushFolder(const std::string& folder);

}  // namespace ravelo
