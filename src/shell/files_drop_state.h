#pragma once

#include <string>
#include <vector>

#include "shell/drop_effect.h"

namespace ravelo {

// What the window's drop target knows between a drag entering it and the
// drop: the dragged paths and whether the last chosen effect was copy. The
// window reads the paths from the drag's data (the file-list block or the
// URI list), hands them in on entering, and asks for the effect at every
// move of the pointer. GUI thread only.
class TFilesDropState {
 public:
  // local_root: the local cache's folder, whose file system decides between
  // copy and move by default.
  explicit TFilesDropState(std::string local_root) : local_root_(std::move(local_root)) {}

  // A drag enters: keeps the paths (none when the data held no local file
  // list) and chooses the effect. Looks up the paths' file systems once, not
  // at every move of the pointer.
  TDropEffect DragEnter(std::vector<std::string> files, int key_state, int allowed);
  TDropEffect DragOver(int key_state, int allowed);
  void DragLeave();

  // The dragged paths, kept after the drop until the next drag enters.
  const std::vector<std::string>& Files() const { return files_; }
  // True when the last effect chosen was copy; an effect of none leaves it.
  bool IsCopy() const { return copy_; }

 private:
  std::string local_root_;
  std::vector<std::string> files_;
  bool all_on_root_file_system_ = false;
  bool copy_ = false;
};

}  // namespace ravelo
