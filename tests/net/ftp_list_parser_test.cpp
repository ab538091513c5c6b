#include "net/ftp_list_parser.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <tuple>

#include "net/ftp_exceptions.h"

namespace ravelo {
namespace {

using Lines = std::vector<std::string>;

TFtpDateTimeParts Day(int year, int month, int day) {
  TFtpDateTimeParts parts;
  parts.Year = year;
  parts.Month = month;
  parts.Day = day;
  return parts;
}

// An item on one line: type, size, date and time to the millisecond, name
// in brackets and link target.
std::string Describe(const TFtpListItem& item) {
  const TFtpDateTimeParts t = DecodeFtpDateTime(item.ModifiedDate);
  char date[40];
  std::snprintf(date, sizeof(date), "%04d-%02d-%02d %02d:%02d.%03d", t.Year, t.Month, t.Day, t.Hour,
                t.Minute, t.Millisecond);
  static constexpr const char* kTypes[] = {"d ", "f ", "l ", "o "};
  return kTypes[item.ItemType] + std::to_string(item.Size) + " " + date + " [" + item.FileName +
         "]" + (item.LinkedItemName.empty() ? "" : " -> " + item.LinkedItemName);
}

const TFtpDateTimeParts kJune2026 = Day(2026, 6, 15);

// Every line that is neither blank nor a "total" line gives one item, read in
// its own format; names keep their blanks.
TEST(FtpListParserTest, ListingsGiveTheirItems) {
  struct TCase {
    const char* what;
    Lines lines;
    TFtpListFormat format;
    Lines items;  // described; Unix dates carry 999 milliseconds
    TFtpDateTimeParts today = kJune2026;
  };
  const std::vector<TCase> cases = {
      {"unix: total line, blank lines, blanks in names",
       {"total 8", "", " \t ",
        "-rw-r--r--   1 owner    group        1024 Mar  5 14:30 my  file.txt",
        "-rw-r--r-- 1 o g 1 Mar  5  2003  lead and trail "},
       flfUnix,
       {"f 1024 2026-03-05 14:30.999 [my  file.txt]",
        "f 1 2003-03-05 00:00.999 [ lead and trail ]"}},
      {"recent time from a later month is last year",
       {"-rw-r--r-- 1 o g 1024 Mar  5 14:30 a"},
       flfUnix,
       {"f 1024 2025-03-05 14:30.999 [a]"},
       Day(2026, 2, 1)},
      {"missing group column, symbolic link",
       {"drwxr-xr-x   2 owner         512 Jan 01  2003 docs",
        "-rw-r--r--   1 owner  5 Jan 01  2003 two words",
        "lrwxrwxrwx 1 o g 7 Mar 5 14:30 current -> releases/v 2"},
       flfUnix,
       {"d 512 2003-01-01 00:00.999 [docs]", "f 5 2003-01-01 00:00.999 [two words]",
        "l 7 2026-03-05 14:30.999 [current] -> releases/v 2"}},
      {"same name with a time, then a year",
       {"-rw-r--r-- 1 o g 10 Mar  5 14:30 a.txt", "-rw-r--r-- 1 o g 10 Mar  5  2003 a.txt"},
       flfUnix,
       {"f 10 2026-03-05 14:30.999 [a.txt]", "f 10 2003-03-05 00:00.999 [a.txt]"}},
      {"set-id, sticky and ACL markers; special entries",
       {"drwxrwsr-x+ 2 o g 4096 Mar 5 14:30 shared", "-rwSr-Sr-T@ 1 o g 1 Mar 5 14:30 odd",
        "drwxrwxrwt. 9 o g 4096 Mar 5 14:30 tmp", "-rwsr-xr-x 1 o g 2 Mar 5 14:30 su",
        "crw-rw-rw- 1 root root 1, 3 Jan  1  2003 null", "prw-r--r-- 1 o g 0 Mar 5 14:30 fifo"},
       flfUnix,
       {"d 4096 2026-03-05 14:30.999 [shared]", "f 1 2026-03-05 14:30.999 [odd]",
        "d 4096 2026-03-05 14:30.999 [tmp]", "f 2 2026-03-05 14:30.999 [su]",
        "o 3 2003-01-01 00:00.999 [null]", "o 0 2026-03-05 14:30.999 [fifo]"}},
      {"empty listings", {"total 0", ""}, flfNone, {}},
      {"dos: two- and four-digit years, <DIR>, commas, AM and PM, blanks in names",
       {"01-15-04  10:51AM       <DIR>          web site",
        "01-15-2004  02:05PM            1,234,567 a.txt",
        "12-31-99  12:00AM                    0  lead.txt",
        "01/15/2004  10:51       <DIR>           lead dir"},
       flfDos,
       {"d 0 2004-01-15 10:51.000 [web site]", "f 1234567 2004-01-15 14:05.000 [a.txt]",
        "f 0 1999-12-31 00:00.000 [ lead.txt]", "d 0 2004-01-15 10:51.000 [ lead dir]"}},
      {"each line in its own format",
       {"01-15-04  10:51AM <DIR> a", "-rw-r--r-- 1 o g 1 Mar 5 14:30 b"},
       flfDos,
       {"d 0 2004-01-15 10:51.000 [a]", "f 1 2026-03-05 14:30.999 [b]"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const TFtpListItems items = LoadFtpList(c.lines, c.today);
    EXPECT_EQ(items.ListFormat(), c.format);
    Lines described;
    for (const auto& item : items) described.push_back(Describe(item));
    EXPECT_EQ(described, c.items);
  }
}

// A listing with a line that gives no item fails whole: read as empty or
// partial, it would clear the remote side of every missing entry.
TEST(FtpListParserTest, UnreadableListingsFailWhole) {
  const std::string good = "-rw-r--r-- 1 o g 10 Mar  5 14:30 good";
  const std::vector<Lines> cases = {
      {"just a name"},
      {good, "-rw-r--r-- 1 o g 10 Mai  5 14:30 bad month", good},
      {good, "-rw-r--r-- 1 o g 10 Apr 31  2003 no such day"},
      {good, "-rw-r--r-- 1 o g 10 Mar  5 14:30"},  // no name
      {good, "?rw-r--r-- 1 o g 10 Mar  5 14:30 unknown type"},
      {"13-45-04  09:99PM                    5 odd.txt"},
      {"01/15/04  02:05PM                   -1 minus.htm"},
      {"USER1:[DIR]  DSK:FILE.TXT;1"},
      {"total 3 files"},
      {"drwx"},
      // Sizes that cannot be read as they are listed.
      {good, "-rw-r--r-- 1 o g 99999999999999999999 Mar  5 14:30 huge"},
      {good, "-rw-r--r-- 1 o g -10 Mar  5 14:30 signed"},
      {good, "-rw-r--r-- 1 o g +10 Mar  5 14:30 signed"},
      {"01/15/04  02:05PM  99,999,999,999,999,999,999 huge.htm"},
  };
  for (const auto& lines : cases) {
    EXPECT_THROW(LoadFtpList(lines, kJune2026), EFtpInvalidListingFormat) << lines.back();
  }
}

// Days since 30 December 1899; before it the whole part counts backwards
// while the fraction still adds the time of day. (The listing test above
// decodes what the parser encodes.)
TEST(FtpDateTimeTest, EncodesDaysSince1899) {
  constexpr double kInvalid = -1e9;
  const std::vector<std::tuple<TFtpDateTimeParts, int, double>> cases = {
      {Day(1899, 12, 30), 0, 0.0},     {Day(1900, 1, 1), 12, 2.5},
      {Day(1899, 12, 29), 6, -1.25},   {Day(2000, 1, 1), 0, 36526.0},
      {Day(2023, 2, 29), 0, kInvalid}, {Day(2023, 0, 1), 0, kInvalid},
      {Day(0, 1, 1), 0, kInvalid},
  };
  for (auto [parts, hour, days] : cases) {
    parts.Hour = hour;
    EXPECT_EQ(EncodeFtpDateTime(parts).value_or(kInvalid), days)
        << parts.Year << "-" << parts.Month;
  }
}

}  // namespace
}  // namespace ravelo
