// Machine listings and MLST replies from a hostile or broken server: any
// text either gives one item for every line that is neither blank nor a
// cdir or pdir entry, each with an exact time, or fails whole with
// EFtpInvalidListingFormat; nothing else is raised.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "net/ftp_date_time.h"
#include "net/ftp_exceptions.h"
#include "net/ftp_features.h"
#include "net/ftp_mlsd_parser.h"
#include "net/ftp_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> lines;
  for (std::size_t start = 0; start <= text.size();) {
    const std::size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  std::size_t entries = 0;
  for (const std::string& line : lines) {
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    ravelo::TFtpListItem item;
    try {
      if (ravelo::ParseMlsdItem(line, item)) ++entries;
    } catch (const ravelo::EFtpInvalidListingFormat&) {
      entries = SIZE_MAX;
      break;
    }
  }
  try {
    const ravelo::TFtpListItems items = ravelo::LoadMlsdList(lines);
    if (items.Count() != entries) __builtin_trap();
    for (const auto& item : items) {
      if (item.ItemType > ravelo::itOther || item.TimePrecision != ravelo::tpExact ||
          item.FileName.empty() || item.Size < 0) {
        __builtin_trap();
      }
      (void)ravelo::DecodeFtpDateTime(item.ModifiedDate);
    }
  } catch (const ravelo::EFtpInvalidListingFormat&) {
    if (entries != SIZE_MAX) __builtin_trap();
  }
  // The same text read as a FEAT reply and as the passive replies' text.
  const ravelo::TFtpFeatures features(ravelo::MakeFtpReply(lines));
  (void)features.Has("MLST");
  (void)ravelo::ParsePasvPort(text);
  (void)ravelo::ParseEpsvPort(text);
  return 0;
}
