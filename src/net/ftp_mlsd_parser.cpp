#include "net/ftp_mlsd_parser.h"

#include <charconv>
#include <string>

#include "net/ftp_date_time.h"
#include "net/ftp_exceptions.h"
#include "net/ftp_reply.h"

namespace ravelo {

namespace {

bool IsDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

int Number(std::string_view digits) {
  int value = 0;
  std::from_chars(digits.data(), digits.data() + digits.size(), value);
  return value;
}

}  // namespace

std::optional<double> ParseFtpTimeVal(std::string_view text) {
  const std::string_view whole = text.substr(0, 14);
  if (!IsDigits(whole) || whole.size() != 14) return std::nullopt;
  TFtpDateTimeParts parts;
  parts.Year = Number(whole.substr(0, 4));
  parts.Month = Number(whole.substr(4, 2));
  parts.Day = Number(whole.substr(6, 2));
  parts.Hour = Number(whole.substr(8, 2));
  parts.Minute = Number(whole.substr(10, 2));
  parts.Second = Number(whole.substr(12, 2));
  if (text.size() > 14) {
    const std::string_view fraction = text.substr(15);
    if (text[14] != '.' || !IsDigits(fraction)) return std::nullopt;
    // Milliseconds: the first three digits, the others dropped.
    std::string milliseconds(fraction.substr(0, 3));
    milliseconds.resize(3, '0');
    parts.Millisecond = Number(milliseconds);
  }
  return FtpUtcToDateTime(parts);
}

bool ParseMlsdItem(std::string_view line, TFtpListItem& item) {
  const std::size_t blank = line.find(' ');
  if (blank == std::string_view::npos || blank + 1 >= line.size()) {
    throw EFtpInvalidListingFormat();
  }
  std::string_view facts = line.substr(0, blank);
  std::optional<std::string_view> type, size, modify;
  while (!facts.empty()) {
    const std::size_t end = facts.find(';');
    const std::string_view fact = facts.substr(0, end);
    facts.remove_prefix(end == std::string_view::npos ? facts.size() : end + 1);
    const std::size_t equals = fact.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view name = fact.substr(0, equals);
    const std::string_view value = fact.substr(equals + 1);
    if (EqualIgnoringCase(name, "type")) type = value;
    if (EqualIgnoringCase(name, "size")) size = value;
    if (EqualIgnoringCase(name, "modify")) modify = value;
  }
  if (!type) throw EFtpInvalidListingFormat();
  if (EqualIgnoringCase(*type, "cdir") || EqualIgnoringCase(*type, "pdir")) return false;

  item.Data = line;
  item.FileName = line.substr(blank + 1);
  item.LinkedItemName.clear();
  if (EqualIgnoringCase(*type, "file")) {
    item.ItemType = itFile;
  } else if (EqualIgnoringCase(*type, "dir")) {
    item.ItemType = itDirectory;
  } else if (StartsWithIgnoringCase(*type, "os.unix=slink") ||
             EqualIgnoringCase(*type, "os.unix=symlink")) {
    // "OS.unix=slink:target" names the target when the server knows it.
    item.ItemType = itSymbolicLink;
    if (type->size() > 14 && (*type)[13] == ':') item.LinkedItemName = type->substr(14);
  } else {
    item.ItemType = itOther;
  }
  if (size && IsDigits(*size)) {
    const auto [end, error] = std::from_chars(size->data(), size->data() + size->size(), item.Size);
    if (error != std::errc()) throw EFtpInvalidListingFormat();
  } else if (item.ItemType == itFile) {
    throw EFtpInvalidListingFormat();
  } else {
    item.Size = 0;
  }
  const std::optional<double> modified = modify ? ParseFtpTimeVal(*modify) : std::nullopt;
  if (!modified) throw EFtpInvalidListingFormat();
  item.ModifiedDate = *modified;
  item.TimePrecision = tpExact;
  return true;
}

TFtpListItems LoadMlsdList(const std::vector<std::string>& lines) {
  TFtpListItems items;
  items.SetListFormat(flfMlsd);
  items.Reserve(lines.size());
  TFtpListItem item;
  for (const std::string& line : lines) {
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    item = TFtpListItem();
    if (ParseMlsdItem(line, item)) items.Add() = std::move(item);
  }
  return items;
}

}  // namespace ravelo
