#include "model/time_info.h"

namespace ravelo {

void TTimeInfo::Clear() {
  file_index_.clear();
  folder_index_.clear();
  files_.clear();
  folders_.clear();
}

TTimeInfoFile& TTimeInfo::AddFile(std::string_view name) {
  if (file_index_.count(name) != 0) throw EItemAlreadyExists(std::string(name));
  files_.push_back(std::make_unique<TTimeInfoFile>());
  TTimeInfoFile& file = *files_.back();
  file.Name = name;
  // The key views the item's own name, which never moves nor changes.
  file_index_.emplace(file.Name, &file);
  return file;
}

TTimeInfoFolder& TTimeInfo::AddFolder(std::string_view name) {
  if (folder_index_.count(name) != 0) throw EItemAlreadyExists(std::string(name));
  folders_.push_back(std::make_unique<TTimeInfoFolder>());
  TTimeInfoFolder& folder = *folders_.back();
  folder.Name = name;
  folder_index_.emplace(folder.Name, &folder);
  return folder;
}

TTimeInfoFile& TTimeInfo::FileAt(int index) const {
  return *files_.at(static_cast<size_t>(index));
}

TTimeInfoFolder& TTimeInfo::FolderAt(int index) const {
  return *folders_.at(static_cast<size_t>(index));
}

TTimeInfoFile* TTimeInfo::FindFile(std::string_view name) const {
  auto found = file_index_.find(name);
  return found == file_index_.end() ? nullptr : found->second;
}

TTimeInfoFolder* TTimeInfo::FindFolder(std::string_view name) const {
  auto found = folder_index_.find(name);
  return found == folder_index_.end() ? nullptr : found->second;
}

}  // namespace ravelo
