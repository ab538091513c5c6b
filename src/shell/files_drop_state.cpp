#include "shell/files_drop_state.h"

#include "shell/file_system.h"

namespace ravelo {

TDropEffect TFilesDropState::DragEnter(std::vector<std::string> files, int key_state, int allowed) {
  files_ = std::move(files);
  all_on_root_file_system_ = AllOnFileSystemOf(files_, local_root_);
  return DragOver(key_state, allowed);
}

TDropEffect TFilesDropState::DragOver(int key_state, int allowed) {
  const TDropEffect effect =
      ChooseEffect(!files_.empty(), key_state, allowed, all_on_root_file_system_);
  if (effect != deNone) copy_ = effect == deCopy;
  return effect;
}

void TFilesDropState::DragLeave() {
  files_.clear();
}

}  // namespace ravelo
