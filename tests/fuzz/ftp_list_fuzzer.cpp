// Listings from a hostile or broken server: any text parses into items or
// none, and never raises.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "net/ftp_list_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  ravelo::TFtpDateTimeParts today;
  today.Year = 2026;
  today.Month = 3;
  today.Day = 5;
  const ravelo::TFtpListItems items = ravelo::LoadFtpList(lines, today);
  if (items.Count() > lines.size()) __builtin_trap();
  for (const auto& item : items) {
    if (item.ItemType > ravelo::itSymbolicLink) __builtin_trap();
    (void)ravelo::DecodeFtpDateTime(item.ModifiedDate);
  }
  return 0;
}
