#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "model/nullable.h"

namespace ravelo {

class ETimeInfo : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class EItemAlreadyExists : public ETimeInfo {
 public:
  explicit EItemAlreadyExists(const std::string& name)
      : ETimeInfo("TimeInfo Item With The Name \"" + name + "\" Already Exists") {}
};

// One file of a listing.
struct TTimeInfoFile {
  std::string Name;
  TNullableTime Time;
  TNullableSize Size;
  // A machine listing's file whose synchronization record holds a LIST
  // time: its LIST time too, read for the comparison with that record.
  TNullableTime ListedMinute{};

  void SetInfo(std::int64_t size, TDateTime time, TTimeKind kind = TTimeKind::Exact) {
    Size.SetValue(size);
    Time.SetValue(time, kind);
  }
};

// One subfolder of a listing.
struct TTimeInfoFolder {
  std::string Name;
};

// The snapshot of one folder's listing on one side: files with their times
// and sizes, and subfolders, each in the order added. Names are unique per
// list, compared exactly (byte for byte); a file and a folder may share one.
// Used by one thread at a time.
class ITimeInfo {
 public:
  virtual ~ITimeInfo() = default;

  virtual void Clear() = 0;
  // Throw EItemAlreadyExists when the list has the name; the list keeps the
  // item, the reference stays valid until Clear.
  virtual TTimeInfoFile& AddFile(std::string_view name) = 0;
  virtual TTimeInfoFolder& AddFolder(std::string_view name) = 0;
  virtual int FileCount() const = 0;
  virtual int FolderCount() const = 0;
  // In addition order; throw std::out_of_range outside it.
  virtual TTimeInfoFile& FileAt(int index) const = 0;
  virtual TTimeInfoFolder& FolderAt(int index) const = 0;
  // Exact match, or none.
  virtual TTimeInfoFile* FindFile(std::string_view name) const = 0;
  virtual TTimeInfoFolder* FindFolder(std::string_view name) const = 0;
};

// Finds names through hash indexes, so merging a folder of many thousand
// entries stays linear.
class TTimeInfo : public ITimeInfo {
 public:
  void Clear() override;
  TTimeInfoFile& AddFile(std::string_view name) override;
  TTimeInfoFolder& AddFolder(std::string_view name) override;
  int FileCount() const override { return static_cast<int>(files_.size()); }
  int FolderCount() const override { return static_cast<int>(folders_.size()); }
  TTimeInfoFile& FileAt(int index) const override;
  TTimeInfoFolder& FolderAt(int index) const override;
  TTimeInfoFile* FindFile(std::string_view name) const override;
  TTimeInfoFolder* FindFolder(std::string_view name) const override;

 private:
  std::vector<std::unique_ptr<TTimeInfoFile>> files_;
  std::vector<std::unique_ptr<TTimeInfoFolder>> folders_;
  std::unordered_map<std::string_view, TTimeInfoFile*> file_index_;      // keys view item names
  std::unordered_map<std::string_view, TTimeInfoFolder*> folder_index_;  // keys view item names
};

}  // namespace ravelo
