#include "net/ftp_list_parser.h"

#include <array>
#include <charconv>
#include <ctime>
#include <optional>

#include "net/ftp_exceptions.h"
#include "net/ftp_reply.h"

namespace ravelo {

namespace {

char Upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (Upper(text[i]) != Upper(prefix[i])) return false;
  }
  return true;
}

template <typename T>
std::optional<T> ToNumber(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

// A safe substring by 1-based position, as listings are described.
std::string_view Chars(std::string_view line, std::size_t first, std::size_t count) {
  if (first - 1 >= line.size()) return {};
  return line.substr(first - 1, count);
}

int MonthNumber(std::string_view name) {
  static constexpr std::array<std::string_view, 12> kMonths = {
      "JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  if (name.size() != 3) return 0;
  for (std::size_t i = 0; i < kMonths.size(); ++i) {
    if (StartsWithIgnoringCase(name, kMonths[i])) return static_cast<int>(i) + 1;
  }
  return 0;
}

// Splits at blanks; runs of blanks are one separator.
void SplitColumns(std::string_view text, std::vector<std::string_view>& columns) {
  columns.clear();
  std::size_t position = 0;
  while (position < text.size()) {
    while (position < text.size() && text[position] == ' ') ++position;
    if (position >= text.size()) break;
    const std::size_t end = std::min(text.find(' ', position), text.size());
    columns.push_back(text.substr(position, end - position));
    position = end;
  }
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// Takes the first word (up to the first blank) off rest, which is left trimmed.
std::string_view TakeWord(std::string_view& rest) {
  const std::size_t blank = rest.find(' ');
  const std::string_view word = rest.substr(0, blank);
  rest = blank == std::string_view::npos ? std::string_view() : TrimFtpLine(rest.substr(blank));
  return word;
}

std::string WithoutCommas(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (char c : text) {
    if (c != ',') result += c;
  }
  return result;
}

// "MM/DD/YY hh:mm" with an optional AM or PM right after the minutes.
std::optional<double> ReadDosDate(std::string_view text) {
  if (text.size() < 14 || text[2] != '/' || text[5] != '/' || text[8] != ' ') return std::nullopt;
  const auto month = ToNumber<int>(text.substr(0, 2));
  const auto day = ToNumber<int>(text.substr(3, 2));
  const auto year = ToNumber<int>(text.substr(6, 2));
  std::string_view time = text.substr(9);
  const std::size_t colon = time.find(':');
  if (!month || !day || !year || colon == std::string_view::npos) return std::nullopt;
  const auto hour = ToNumber<int>(time.substr(0, colon));
  std::string_view minute_text = time.substr(colon + 1);
  int hour_shift = -1;
  if (minute_text.size() > 2) {
    const std::string_view marker = minute_text.substr(2);
    if (StartsWithIgnoringCase(marker, "AM") && marker.size() == 2) {
      hour_shift = 0;
    } else if (StartsWithIgnoringCase(marker, "PM") && marker.size() == 2) {
      hour_shift = 12;
    } else {
      return std::nullopt;
    }
    minute_text = minute_text.substr(0, 2);
  }
  const auto minute = ToNumber<int>(minute_text);
  if (!hour || !minute || *year < 0 || *hour < 0) return std::nullopt;
  TFtpDateTimeParts parts;
  // Two-digit years: 70 to 99 are the 1900s, 00 to 69 the 2000s.
  parts.Year = *year + (*year < 70 ? 2000 : 1900);
  parts.Month = *month;
  parts.Day = *day;
  parts.Hour = *hour;
  if (hour_shift >= 0) {
    if (*hour < 1 || *hour > 12) return std::nullopt;
    parts.Hour = *hour % 12 + hour_shift;
  }
  parts.Minute = *minute;
  return EncodeFtpDateTime(parts);
}

void ParseByFormat(TFtpListFormat format, std::string_view line, const TFtpDateTimeParts& today,
                   TFtpListItem& item) {
  switch (format) {
    case flfNone:
      return;
    case flfDos:
      ParseDosItem(line, item);
      return;
    case flfUnix:
    case flfVax:
      ParseUnixItem(line, today, item);
      return;
    case flfNoDetails:
      item.FileName = TrimFtpLine(line);
      return;
    case flfUnknown:
    case flfCustom:
      break;
  }
  throw EFtpInvalidListingFormat();
}

bool IsBlankLine(std::string_view line) {
  return line.find_first_not_of(" \t") == std::string_view::npos;
}

}  // namespace

bool IsValidUnixPerms(std::string_view line) {
  if (line.size() < 10) return false;
  const char kind = Upper(line[0]);
  if (kind != '-' && kind != 'D' && kind != 'L') return false;
  for (std::size_t i = 1; i < 10; ++i) {
    const char c = Upper(line[i]);
    if (c != '-' && c != 'R' && c != 'W' && c != 'X') return false;
  }
  return true;
}

TFtpListFormat CheckListFormat(std::string_view line) {
  if (IsValidUnixPerms(line)) return flfUnix;
  if (StartsWithIgnoringCase(line, "TOTAL")) return flfUnix;
  for (std::size_t i = 0; i + 4 <= line.size(); ++i) {
    if (StartsWithIgnoringCase(line.substr(i), "DSK:")) return flfVax;
  }
  if (line.size() < 6 || (line[2] != '-' && line[2] != '/') || (line[5] != '-' && line[5] != '/')) {
    return flfUnknown;
  }
  const std::string_view marker = TrimFtpLine(Chars(line, 25, 6));
  if (marker.size() == 5 && StartsWithIgnoringCase(marker, "<DIR>")) return flfDos;
  const auto size = ToNumber<long long>(WithoutCommas(TrimFtpLine(Chars(line, 31, 8))));
  if (marker.empty() && size && *size != -1) return flfDos;
  return flfUnknown;
}

void ParseUnixItem(std::string_view line, const TFtpDateTimeParts& today, TFtpListItem& item) {
  thread_local std::vector<std::string_view> columns;
  SplitColumns(TrimBlanks(line), columns);
  if (columns.size() == 8 && !columns[4].empty() && IsLetter(columns[4].front())) {
    columns.insert(columns.begin() + 2, std::string_view());
  }
  const auto column = [&](std::size_t index) {
    return index < columns.size() ? columns[index] : std::string_view();
  };

  const std::string_view permissions = column(0);
  const int month = MonthNumber(column(5));
  const int day = ToNumber<int>(column(6)).value_or(today.Day);
  const std::string_view year_or_time = column(7);
  TFtpDateTimeParts parts;
  parts.Month = month;
  parts.Day = day;
  parts.Millisecond = 999;
  if (const auto colon = year_or_time.find(':'); colon != std::string_view::npos) {
    parts.Year = today.Year - (today.Month < month ? 1 : 0);
    parts.Hour = ToNumber<int>(year_or_time.substr(0, colon)).value_or(0);
    std::string_view minute = year_or_time.substr(colon + 1);
    minute = minute.substr(0, minute.find(':'));
    parts.Minute = ToNumber<int>(minute).value_or(0);
  } else {
    parts.Year = ToNumber<int>(year_or_time).value_or(today.Year);
  }

  std::string name;
  for (std::size_t i = 8; i < columns.size(); ++i) {
    if (i > 8) name += ' ';
    name.append(columns[i]);
  }

  const char kind = permissions.empty() ? '-' : Upper(permissions.front());
  item.ItemType = kind == 'D' ? itDirectory : kind == 'L' ? itSymbolicLink : itFile;
  item.LinkCount = ToNumber<int>(column(1)).value_or(0);
  if (columns.size() > 2) item.OwnerName = column(2);
  if (columns.size() > 3) item.GroupName = column(3);
  item.OwnerPermissions = Chars(permissions, 2, 3);
  item.GroupPermissions = Chars(permissions, 5, 3);
  item.OtherPermissions = Chars(permissions, 8, 3);
  item.Size = columns.size() > 4 ? ToNumber<std::int64_t>(column(4)).value_or(0) : 0;

  const auto date = EncodeFtpDateTime(parts);
  if (!date) throw EFtpInvalidListingFormat();
  item.ModifiedDate = *date;

  if (item.ItemType == itSymbolicLink) {
    if (const auto arrow = name.find(" -> "); arrow != std::string::npos) {
      item.LinkedItemName = name.substr(arrow + 4);
      name.erase(arrow);
    }
  }
  item.FileName = std::move(name);
}

void ParseDosItem(std::string_view line, TFtpListItem& item) {
  std::string date;
  date.reserve(24);
  date.append(Chars(line, 1, 2)).append("/").append(Chars(line, 4, 2)).append("/");
  date.append(Chars(line, 7, 2)).append(" ");
  std::string_view rest = TrimFtpLine(Chars(line, 9, std::string_view::npos));
  date.append(TakeWord(rest));
  const std::string size_word = WithoutCommas(TakeWord(rest));
  const bool directory = size_word.size() == 5 && StartsWithIgnoringCase(size_word, "<DIR>");
  item.FileName = TrimFtpLine(rest);
  item.ItemType = directory ? itDirectory : itFile;
  item.Size = directory ? 0 : ToNumber<std::int64_t>(size_word).value_or(0);
  item.ModifiedDate = ReadDosDate(date).value_or(0);
}

TFtpDateTimeParts FtpToday() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  TFtpDateTimeParts today;
  today.Year = local.tm_year + 1900;
  today.Month = local.tm_mon + 1;
  today.Day = local.tm_mday;
  return today;
}

TFtpListItems LoadFtpList(const std::vector<std::string>& lines, const TFtpDateTimeParts& today) {
  TFtpListItems items;
  if (lines.empty()) return items;
  const TFtpListFormat format = CheckListFormat(lines.front());
  items.SetListFormat(format);
  items.Reserve(lines.size());
  std::size_t first = 0;
  if (format == flfUnix && StartsWithIgnoringCase(lines.front(), "TOTAL")) first = 1;
  for (std::size_t i = first; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (IsBlankLine(line)) continue;
    TFtpListItem& item = items.Add();
    item.Data = line;
    try {
      ParseByFormat(format, line, today, item);
    } catch (const EFtp&) {
      items.Clear();
    }
  }
  return items;
}

TFtpListItems LoadFtpList(const std::vector<std::string>& lines) {
  return LoadFtpList(lines, FtpToday());
}

}  // namespace ravelo
