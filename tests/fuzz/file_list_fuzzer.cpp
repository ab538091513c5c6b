// Feeds arbitrary bytes to the dropped-files block reader. Whatever names it
// reads must survive being written as a block and read again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "shell/file_list_block.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view block(reinterpret_cast<const char*>(data), size);
  const auto paths = ravelo::DecodeFileList(block);
  if (ravelo::DecodeFileList(ravelo::EncodeFileList(paths)) != paths) std::abort();
  // Wide names come back as valid UTF-8, which a wide block keeps as it is.
  const auto wide = ravelo::DecodeFileList(ravelo::EncodeFileList(paths, ravelo::nwWide));
  if (wide.size() != paths.size()) std::abort();
  if (block.size() > 16 && block[16] != 0 && wide != paths) std::abort();
  return 0;
}
