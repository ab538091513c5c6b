// Feeds arbitrary bytes to the project file reader: the header, then the
// records rebuilt into a tree. A damaged file must be refused with the
// project's or the tree's errors; whatever is accepted, written again and
// read again must give the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "model/tree_errors.h"
#include "platform/queued_main_thread.h"
#include "project/project_errors.h"
#include "project/project_header.h"
#include "project/project_records.h"
#include "project/project_stream.h"
#include "sync/device_interface.h"
#include "sync/files_errors.h"
#include "sync/syn_folder.h"

namespace {

using namespace ravelo;

// Only the name rules are asked while reading.
class TNameRules : public ISynDevice {
 public:
  TLocalFileInfo GetLocalInfo(TNode&) override { return {}; }
  std::shared_ptr<ITimeInfo> ListLocal(TSynFolder&) override { return nullptr; }
  bool LocalFolderExists(TSynFolder&) override { return false; }
  void DeleteLocalFile(TNode&) override {}
  void RemoveLocalFolder(TSynFolder&) override {}
  void SetCurrentFolder(TSynFolder&) override {}
  bool IsReservedName(std::string_view name, bool folder) const override {
    return !folder && name == "site.rvlp";
  }
};

// The file read and written again; none when it was refused.
std::optional<std::string> ReadAndWrite(std::string_view bytes) {
  static TNameRules rules;
  auto root = std::make_unique<TSynFolder>(nullptr, "");
  std::optional<std::string> written;
  try {
    TProjectReader stream(bytes);
    const TProjectHeader header = TProjectHeader::CreateFromStream(stream);
    ReadFileRecords(stream, *root, rules);
    TProjectWriter writer;
    header.WriteTo(writer);
    WriteFileRecords(writer, *root);
    written = writer.TakeBytes();
  } catch (const EProject&) {
  } catch (const ETree&) {
  } catch (const EFiles&) {
  }
  TNode::ReleaseRoot(std::move(root));
  return written;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TQueuedMainThread main_thread;
  SetMainThread(&main_thread);
  const auto written = ReadAndWrite(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!written) return 0;
  if (ReadAndWrite(*written) != written) std::abort();
  return 0;
}
