#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings_tree.h"

namespace ravelo {

// The file that stands in for the current user's settings root:
// $XDG_CONFIG_HOME/ravelo/settings, or ~/.config/ravelo/settings when the
// variable is unset or not an absolute path.
std::filesystem::path CurrentUserSettingsFile();

// One settings root kept in one file (ParseSettings' text form). Key paths
// and name rules are those of TSettingsTree.
//
// Reading: every operation first re-reads the file if it changed since it
// was last read (another program instance wrote it), so reads see the latest
// complete file. A missing file is an empty root.
//
// Writing: every change is written through at once. Under an exclusive lock
// on the file's folder the store reads the file afresh, applies the change to
// what it found (so changes other instances made meanwhile are kept), writes
// the result to a temporary file in the same folder, flushes it to disk and
// renames it over the old file. A crash leaves the old or the new file; the
// temporary names are unique per writer, and stray temporary files of an
// interrupted writer are never read and are removed by the next writer. A
// change that leaves the tree as it was writes nothing.
//
// A damaged file: the first operation that meets it raises ESettingsDamaged
// (file and line) and does nothing else. From then on the store treats the
// root as empty; the next write first moves the damaged file aside to
// "<name>.damaged-YYYYMMDD-HHMMSS" (with "-2", "-3"... when that name is
// taken), so nothing is lost. A symbolic link at the file's place is followed:
// the file it points to is replaced, the link is kept.
//
// Errors reading or writing the file raise ESettingsFileError; the file is
// unchanged then.
//
// Threads: one object is used by one thread at a time (the main thread in
// the program). Separate objects on the same file may be used from separate
// threads or processes at once; the folder lock orders their writes.
class TSettingsStore {
 public:
  explicit TSettingsStore(std::filesystem::path file_name);

  // The store of the current user's root (CurrentUserSettingsFile()).
  static TSettingsStore CurrentUser();

  const std::filesystem::path& FileName() const { return file_name_; }

  // Keys have no handles here: opening a key for reading answers whether it
  // exists.
  bool OpenKeyReadOnly(std::string_view path) { return KeyExists(path); }
  bool KeyExists(std::string_view path);
  // False when the path cannot name a key.
  bool OpenOrCreateKey(std::string_view path);
  // Deletes the key and its subtree; false when it does not exist.
  bool DeleteKey(std::string_view path);
  std::vector<std::string> GetKeyNames(std::string_view path);
  std::vector<std::string> GetValueNames(std::string_view path);

  bool ValueExists(std::string_view path, std::string_view name);
  bool DeleteValue(std::string_view path, std::string_view name);
  std::string ReadString(std::string_view path, std::string_view name);
  void WriteString(std::string_view path, std::string_view name, std::string_view value);
  std::uint8_t ReadByte(std::string_view path, std::string_view name);
  void WriteByte(std::string_view path, std::string_view name, std::uint8_t value);
  bool ReadBool(std::string_view path, std::string_view name);
  void WriteBool(std::string_view path, std::string_view name, bool value);

  // The whole root as it is now, for a caller that reads several values and
  // wants them from one version of the file.
  const TSettingsTree& Read();
  // Several changes in one write: change runs on the tree as just read under
  // the lock; when it raises, nothing is written. Answers change's result.
  bool Update(const std::function<bool(TSettingsTree&)>& change);

  // The name the last damaged file was moved to; empty when none was.
  const std::filesystem::path& LastDamagedCopy() const { return damaged_copy_; }

 private:
  // Identifies one version of the file on disk.
  struct TFileVersion {
    dev_t Device = 0;
    ino_t Inode = 0;
    off_t Size = 0;
    std::int64_t ModifiedNs = 0;
    std::int64_t ChangedNs = 0;
    bool operator==(const TFileVersion&) const = default;
  };

  void Refresh();

  std::filesystem::path file_name_;
  TSettingsTree tree_;                   // the root as last read or written
  std::optional<TFileVersion> version_;  // of tree_'s file; none: no file
  bool read_ = false;                    // tree_ holds something read
  std::optional<TFileVersion> damaged_;  // the damaged version already reported
  std::filesystem::path damaged_copy_;
};

}  // namespace ravelo
