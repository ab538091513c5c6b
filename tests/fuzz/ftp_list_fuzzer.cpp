// Listings from a hostile or broken server: any text either gives one item
// for every line that is neither blank nor a "total" line, or fails whole
// with EFtpInvalidListingFormat; nothing else is raised.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "net/ftp_exceptions.h"
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
  // Entry lines: neither blank nor "total" with at most one more column
  // (columns are split at blanks).
  std::size_t entries = 0;
  for (const std::string& line : lines) {
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    std::vector<std::string> columns;
    for (std::size_t at = 0; (at = line.find_first_not_of(' ', at)) != std::string::npos;) {
      const std::size_t end = std::min(line.find(' ', at), line.size());
      columns.push_back(line.substr(at, end - at));
      at = end;
    }
    std::string first = columns.front();
    for (char& c : first) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (first != "total" || columns.size() > 2) ++entries;
  }
  try {
    const ravelo::TFtpListItems items = ravelo::LoadFtpList(lines, today);
    if (items.Count() != entries) __builtin_trap();
    for (const auto& item : items) {
      if (item.ItemType > ravelo::itOther) __builtin_trap();
      (void)ravelo::DecodeFtpDateTime(item.ModifiedDate);
    }
  } catch (const ravelo::EFtpInvalidListingFormat&) {
  }
  return 0;
}
