#include "net/ftp_list_parser.h"

#include <algorithm>
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

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         StartsWithIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
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

int MonthNumber(std::string_view name) {
  static constexpr std::array<std::string_view, 12> kMonths = {
      "JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  if (name.size() != 3) return 0;
  for (std::size_t i = 0; i < kMonths.size(); ++i) {
    if (StartsWithIgnoringCase(name, kMonths[i])) return static_cast<int>(i) + 1;
  }
  return 0;
}

std::string WithoutCommas(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (char c : text) {
    if (c != ',') result += c;
  }
  return result;
}

bool AllDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// A listed size: 0 when the column is no number, as before; a signed or
// too large number fails the line, since a wrong size would look like a
// changed file.
std::int64_t ReadSize(std::string_view text) {
  if (!text.empty() && (text.front() == '+' || text.front() == '-') && AllDigits(text.substr(1)))
    throw EFtpInvalidListingFormat();
  if (!AllDigits(text)) return 0;
  const auto size = ToNumber<std::int64_t>(text);
  if (!size) throw EFtpInvalidListingFormat();
  return *size;
}

// A column of a line: where it starts and ends, so that a name can be taken
// from the line as listed, blanks and all.
struct TColumn {
  std::size_t Begin;
  std::size_t End;
};

// Splits at blanks; runs of blanks are one separator.
void SplitColumns(std::string_view text, std::vector<TColumn>& columns) {
  columns.clear();
  std::size_t position = 0;
  while (position < text.size()) {
    while (position < text.size() && text[position] == ' ') ++position;
    if (position >= text.size()) break;
    const std::size_t end = std::min(text.find(' ', position), text.size());
    columns.push_back({position, end});
    position = end;
  }
}

// A substring that is empty where the text is too short.
std::string_view Part(std::string_view text, std::size_t position, std::size_t count) {
  return position < text.size() ? text.substr(position, count) : std::string_view();
}

// "14:30" or "14:30:15".
bool IsClockTime(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos || !AllDigits(text.substr(0, colon))) return false;
  const std::string_view rest = text.substr(colon + 1);
  const std::size_t second = rest.find(':');
  return AllDigits(rest.substr(0, second)) &&
         (second == std::string_view::npos || AllDigits(rest.substr(second + 1)));
}

// The fields of a DOS line: "MM-DD-YY  hh:mmAM  <DIR>  name" or with a size
// (commas allowed) in place of <DIR>; four-digit years, "/" and a 24-hour
// time are read too.
struct TDosFields {
  std::string_view Date;
  std::string_view Time;
  std::string_view SizeOrDir;
  std::string_view Name;
};

std::optional<TDosFields> SplitDosLine(std::string_view line) {
  thread_local std::vector<TColumn> columns;
  SplitColumns(line, columns);
  if (columns.size() < 4) return std::nullopt;
  const auto text = [&](const TColumn& column) {
    return line.substr(column.Begin, column.End - column.Begin);
  };
  TDosFields fields{text(columns[0]), text(columns[1]), text(columns[2]), {}};
  const std::string_view date = fields.Date;
  if ((date.size() != 8 && date.size() != 10) || (date[2] != '-' && date[2] != '/') ||
      date[5] != date[2] || !AllDigits(date.substr(0, 2)) || !AllDigits(date.substr(3, 2)) ||
      !AllDigits(date.substr(6))) {
    return std::nullopt;
  }
  std::string_view time = fields.Time;
  if (time.size() > 2 && (EndsWithIgnoringCase(time, "AM") || EndsWithIgnoringCase(time, "PM"))) {
    time.remove_suffix(2);
  }
  if (!IsClockTime(time)) return std::nullopt;
  const std::string_view size = fields.SizeOrDir;
  if (!EqualIgnoringCase(size, "<DIR>") && !AllDigits(WithoutCommas(size))) return std::nullopt;
  // The name starts 22 characters after the time, past a field holding
  // <DIR> or the right-aligned size, and keeps its leading blanks; in any
  // other layout it is what follows the size.
  const std::size_t field_end = columns[1].End + 22;
  std::size_t name = columns[3].Begin;
  if (columns[2].End < field_end) name = std::min(name, field_end);
  fields.Name = line.substr(name, line.find_last_not_of(' ') + 1 - name);
  return fields;
}

// A DOS date and time: month/day/year with a year of two digits (70 to 99
// are the 1900s, 00 to 69 the 2000s) or four, and an optional AM or PM.
std::optional<double> ReadDosDate(const TDosFields& fields) {
  TFtpDateTimeParts parts;
  const std::string_view date = fields.Date;
  parts.Month = ToNumber<int>(date.substr(0, 2)).value_or(0);
  parts.Day = ToNumber<int>(date.substr(3, 2)).value_or(0);
  parts.Year = ToNumber<int>(date.substr(6)).value_or(0);
  if (date.size() == 8) parts.Year += parts.Year < 70 ? 2000 : 1900;
  std::string_view time = fields.Time;
  int hour_shift = -1;
  if (EndsWithIgnoringCase(time, "AM") || EndsWithIgnoringCase(time, "PM")) {
    hour_shift = EndsWithIgnoringCase(time, "PM") ? 12 : 0;
    time.remove_suffix(2);
  }
  const std::size_t colon = time.find(':');
  parts.Hour = ToNumber<int>(time.substr(0, colon)).value_or(-1);
  std::string_view minute = time.substr(colon + 1);
  parts.Minute = ToNumber<int>(minute.substr(0, minute.find(':'))).value_or(-1);
  if (hour_shift >= 0) {
    if (parts.Hour < 1 || parts.Hour > 12) return std::nullopt;
    parts.Hour = parts.Hour % 12 + hour_shift;
  }
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
    case flfMlsd:
      break;
  }
  throw EFtpInvalidListingFormat();
}

bool IsBlankLine(std::string_view line) {
  return line.find_first_not_of(" \t") == std::string_view::npos;
}

// "total 8": the blocks of a Unix listing, with no entry.
bool IsTotalLine(std::string_view line) {
  const std::size_t first = line.find_first_not_of(' ');
  if (first == std::string_view::npos || Upper(line[first]) != 'T') return false;
  thread_local std::vector<TColumn> columns;
  SplitColumns(line, columns);
  return columns.size() <= 2 && !columns.empty() &&
         EqualIgnoringCase(line.substr(columns[0].Begin, columns[0].End - columns[0].Begin),
                           "TOTAL");
}

}  // namespace

bool IsValidUnixPerms(std::string_view line) {
  if (line.size() < 10) return false;
  if (std::string_view("-DLBCPS").find(Upper(line[0])) == std::string_view::npos) return false;
  for (std::size_t i = 1; i < 10; ++i) {
    if (std::string_view("-RWXSTL").find(Upper(line[i])) == std::string_view::npos) return false;
  }
  return true;
}

TFtpListFormat CheckListFormat(std::string_view line) {
  if (IsValidUnixPerms(line)) return flfUnix;
  if (IsTotalLine(line)) return flfUnix;
  for (std::size_t i = 0; i + 4 <= line.size(); ++i) {
    if (StartsWithIgnoringCase(line.substr(i), "DSK:")) return flfVax;
  }
  return SplitDosLine(line) ? flfDos : flfUnknown;
}

void ParseUnixItem(std::string_view line, const TFtpDateTimeParts& today, TFtpListItem& item) {
  thread_local std::vector<TColumn> columns;
  SplitColumns(line, columns);
  const auto column = [&](std::size_t index) {
    return index < columns.size()
               ? line.substr(columns[index].Begin, columns[index].End - columns[index].Begin)
               : std::string_view();
  };
  // The date (month name, day, time or year) follows the size, with or
  // without owner and group columns before it, and the name follows the
  // date. The owner is never taken for the month: a month there is followed
  // by the size, not by a time or year.
  std::size_t month_at = 3;
  while (month_at + 3 < columns.size() &&
         (MonthNumber(column(month_at)) == 0 ||
          !(IsClockTime(column(month_at + 2)) || AllDigits(column(month_at + 2))))) {
    ++month_at;
  }
  if (month_at + 3 >= columns.size()) throw EFtpInvalidListingFormat();

  const std::string_view year_or_time = column(month_at + 2);
  TFtpDateTimeParts parts;
  parts.Month = MonthNumber(column(month_at));
  parts.Day = ToNumber<int>(column(month_at + 1)).value_or(today.Day);
  parts.Millisecond = 999;
  if (const auto colon = year_or_time.find(':'); colon != std::string_view::npos) {
    parts.Year = today.Year - (today.Month < parts.Month ? 1 : 0);
    parts.Hour = ToNumber<int>(year_or_time.substr(0, colon)).value_or(0);
    std::string_view minute = year_or_time.substr(colon + 1);
    parts.Minute = ToNumber<int>(minute.substr(0, minute.find(':'))).value_or(0);
  } else {
    parts.Year = ToNumber<int>(year_or_time).value_or(today.Year);
  }
  const auto date = EncodeFtpDateTime(parts);
  if (!date) throw EFtpInvalidListingFormat();

  const std::string_view permissions = column(0);
  switch (permissions.empty() ? '-' : Upper(permissions.front())) {
    case '-':
      item.ItemType = itFile;
      break;
    case 'D':
      item.ItemType = itDirectory;
      break;
    case 'L':
      item.ItemType = itSymbolicLink;
      break;
    default:
      item.ItemType = itOther;
  }
  const std::size_t size_at = month_at - 1;
  item.LinkCount = ToNumber<int>(column(1)).value_or(0);
  if (size_at > 2) item.OwnerName = column(2);
  if (size_at > 3) item.GroupName = column(3);
  item.OwnerPermissions = Part(permissions, 1, 3);
  item.GroupPermissions = Part(permissions, 4, 3);
  item.OtherPermissions = Part(permissions, 7, 3);
  item.Size = ReadSize(column(size_at));
  item.ModifiedDate = *date;

  // One blank separates the date from the name; the rest is the name as
  // listed, its blanks included.
  std::string_view name = line.substr(columns[month_at + 2].End + 1);
  if (item.ItemType == itSymbolicLink) {
    if (const auto arrow = name.find(" -> "); arrow != std::string_view::npos) {
      item.LinkedItemName = name.substr(arrow + 4);
      name = name.substr(0, arrow);
    }
  }
  item.FileName = name;
}

void ParseDosItem(std::string_view line, TFtpListItem& item) {
  const auto fields = SplitDosLine(line);
  if (!fields) throw EFtpInvalidListingFormat();
  const auto date = ReadDosDate(*fields);
  if (!date) throw EFtpInvalidListingFormat();
  const bool directory = EqualIgnoringCase(fields->SizeOrDir, "<DIR>");
  item.FileName = fields->Name;
  item.ItemType = directory ? itDirectory : itFile;
  item.Size = directory ? 0 : ReadSize(WithoutCommas(fields->SizeOrDir));
  item.ModifiedDate = *date;
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
  items.Reserve(lines.size());
  for (const std::string& line : lines) {
    if (IsBlankLine(line) || IsTotalLine(line)) continue;
    const TFtpListFormat format = CheckListFormat(line);
    if (items.Count() == 0) items.SetListFormat(format);
    TFtpListItem& item = items.Add();
    item.Data = line;
    ParseByFormat(format, line, today, item);
  }
  return items;
}

TFtpListItems LoadFtpList(const std::vector<std::string>& lines) {
  return LoadFtpList(lines, FtpToday());
}

}  // namespace ravelo
