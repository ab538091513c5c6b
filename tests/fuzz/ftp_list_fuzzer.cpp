// Listings from a hostile or broken server: any text either gives one item
// for every line that is neither blank nor a "total" line, or fails whole
// with EFtpInvalidListingFormat; nothing else is raised.
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
  std::size_t entries = 0;
  for (const std::string& line : lines) {
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos) continue;
    std::string word = line.substr(first, line.find(' ', first) - first);
    for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (word != "total") ++entries;
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
