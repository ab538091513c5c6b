#include "project/project_records.h"

#include <cmath>
#include <string>
#include <string_view>

#include "model/children_iterator.h"
#include "model/tree_errors.h"
#include "project/project_errors.h"
#include "project/project_stream.h"
#include "sync/device_interface.h"
#include "sync/files_errors.h"
#include "sync/node_name.h"
#include "sync/syn_file.h"
#include "sync/syn_folder.h"

namespace ravelo {

namespace {

// The smallest record: a one-byte path and two times.
constexpr std::size_t kMinRecordSize = 4 + 1 + 8 + 8;

TDateTime ReadTime(TProjectReader& stream) {
  const double time = stream.ReadDouble();
  if (!std::isfinite(time)) throw EBrokenStream();
  return time;
}

// The path's names are checked before anything is made of them.
void CheckPath(std::string_view path, const ISynDevice& device) {
  if (path.empty() || path.back() == '\\') throw ECantCreateSynFile(std::string(path));
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = path.find('\\', start);
    const bool folder = end != std::string_view::npos;
    const std::string_view name = path.substr(start, folder ? end - start : path.npos);
    if (name.empty()) throw EUnnamedNode();
    if (!IsValidNodeName(name) || device.IsReservedName(name, folder))
      throw ECantCreateSynFile(std::string(path));
    if (!folder) return;
    start = end + 1;
  }
}

// Finds or makes the folders of a path. Records come depth-first, so most
// files lie in the folder of the record before them: that one is kept.
class TFolderChain {
 public:
  explicit TFolderChain(TSynFolder& root) : root_(root), last_(&root) {}

  TSynFolder& Folder(std::string_view folder_path) {
    if (folder_path == last_path_) return *last_;
    TSynFolder* parent = &root_;
    std::size_t start = 0;
    while (start < folder_path.size()) {
      std::size_t end = folder_path.find('\\', start);
      if (end == std::string_view::npos) end = folder_path.size();
      parent = &Child(*parent, folder_path.substr(start, end - start));
      start = end + 1;
    }
    last_path_ = folder_path;
    last_ = parent;
    return *parent;
  }

 private:
  // Nothing else runs on the tree yet: the child needs no hold.
  static TSynFolder& Child(TSynFolder& parent, std::string_view name) {
    TNode* child = parent.FindChild(name);
    if (child == nullptr) return parent.MakeChild<TSynFolder>(name);
    auto* folder = dynamic_cast<TSynFolder*>(child);
    if (folder == nullptr) throw ENoFolderWithName(std::string(name));
    return *folder;
  }

  TSynFolder& root_;
  std::string last_path_;
  TSynFolder* last_;
};

// A bit per record, the lowest bit of each byte first.
class TRecordMarks {
 public:
  explicit TRecordMarks(std::string_view bytes = {}) : bytes_(bytes) {}
  bool operator[](std::size_t record) const {
    return record / 8 < bytes_.size() &&
           (static_cast<unsigned char>(bytes_[record / 8]) >> (record % 8) & 1) != 0;
  }
  void Set(std::size_t record) {
    if (record / 8 >= written_.size()) written_.resize(record / 8 + 1, '\0');
    written_[record / 8] = static_cast<char>(written_[record / 8] | 1 << (record % 8));
  }
  std::string Take() { return std::move(written_); }

 private:
  std::string_view bytes_;
  std::string written_;
};

void WriteFolder(TProjectWriter& stream, TNode& folder, const std::string& prefix,
                 std::int32_t& count, TRecordMarks& exact) {
  for (auto it = folder.GetChildren(); !it->Done();) {
    TNode& child = it->Next();
    const std::string path = prefix + child.Name();
    if (auto* file = dynamic_cast<TSynFile*>(&child)) {
      const TFileTimes times = file->Times();
      // A file never synchronized leaves no trace.
      if (!times.SyncedLocalTime.Defined() || !times.SyncedRemoteTime.Defined()) continue;
      stream.WriteString(path);
      stream.WriteDouble(times.SyncedLocalTime.GetValue());
      stream.WriteDouble(times.SyncedRemoteTime.GetValue());
      if (times.SyncedRemoteTime.Kind() == TTimeKind::Exact)
        exact.Set(static_cast<std::size_t>(count));
      ++count;
    } else {
      WriteFolder(stream, child, path + '\\', count, exact);
    }
  }
}

}  // namespace

void ReadFileRecords(TProjectReader& stream, TSynFolder& root, const ISynDevice& device,
                     std::string_view exact_records) {
  const std::int32_t count = stream.ReadInt32();
  if (count < 0) throw EBrokenStream();
  if (static_cast<std::size_t>(count) > stream.Remaining() / kMinRecordSize) throw EEndOfStream();
  if (exact_records.size() > (static_cast<std::size_t>(count) + 7) / 8) throw EBrokenStream();
  const TRecordMarks exact(exact_records);
  TFolderChain folders(root);
  for (std::int32_t i = 0; i < count; ++i) {
    const std::string_view path = stream.ReadString();
    const TDateTime synced_local_time = ReadTime(stream);
    const TDateTime synced_remote_time = ReadTime(stream);
    CheckPath(path, device);
    const std::size_t slash = path.rfind('\\');
    TSynFolder& parent = folders.Folder(slash == std::string_view::npos ? std::string_view()
                                                                        : path.substr(0, slash));
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    parent.MakeChild<TSynFile>(
        name, synced_local_time, synced_remote_time,
        exact[static_cast<std::size_t>(i)] ? TTimeKind::Exact : TTimeKind::Minute);
  }
  if (!stream.AtEnd()) throw EBrokenStream();
}

std::string WriteFileRecords(TProjectWriter& stream, TSynFolder& root) {
  const std::size_t count_position = stream.Position();
  stream.WriteInt32(0);
  std::int32_t count = 0;
  TRecordMarks exact;
  WriteFolder(stream, root, std::string(), count, exact);
  stream.PatchInt32(count_position, count);
  return exact.Take();
}

}  // namespace ravelo
