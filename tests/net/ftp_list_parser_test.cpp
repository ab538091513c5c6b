#include "net/ftp_list_parser.h"

#include <gtest/gtest.h>

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

double At(int year, int month, int day, int hour, int minute, int millisecond) {
  TFtpDateTimeParts parts = Day(year, month, day);
  parts.Hour = hour;
  parts.Minute = minute;
  parts.Millisecond = millisecond;
  return EncodeFtpDateTime(parts).value();
}

const TFtpDateTimeParts kJune2026 = Day(2026, 6, 15);

TEST(FtpListParserTest, UnixFileWithBlanksInItsName) {
  const TFtpListItems items = LoadFtpList(
      {"total 8", "-rw-r--r--   1 owner    group        1024 Mar  5 14:30 my  file.txt"},
      kJune2026);
  EXPECT_EQ(items.ListFormat(), flfUnix);
  ASSERT_EQ(items.Count(), 1u);
  const TFtpListItem& item = items.Items(0);
  EXPECT_EQ(item.FileName, "my file.txt");
  EXPECT_EQ(item.ItemType, itFile);
  EXPECT_EQ(item.Size, 1024);
  EXPECT_EQ(item.ModifiedDate, At(2026, 3, 5, 14, 30, 999));
  EXPECT_EQ(item.LinkCount, 1);
  EXPECT_EQ(item.OwnerName, "owner");
  EXPECT_EQ(item.GroupName, "group");
  EXPECT_EQ(item.OwnerPermissions, "rw-");
  EXPECT_EQ(item.GroupPermissions, "r--");
  EXPECT_EQ(item.OtherPermissions, "r--");
  EXPECT_EQ(item.Data, "-rw-r--r--   1 owner    group        1024 Mar  5 14:30 my  file.txt");
}

TEST(FtpListParserTest, RecentTimeFromALaterMonthIsLastYear) {
  const TFtpListItems items =
      LoadFtpList({"-rw-r--r--   1 owner    group        1024 Mar  5 14:30 a"}, Day(2026, 2, 1));
  ASSERT_EQ(items.Count(), 1u);
  EXPECT_EQ(items.Items(0).ModifiedDate, At(2025, 3, 5, 14, 30, 999));
}

TEST(FtpListParserTest, MissingGroupColumnKeepsTheSizeInPlace) {
  const TFtpListItems items =
      LoadFtpList({"drwxr-xr-x   2 owner         512 Jan 01  2003 docs"}, kJune2026);
  ASSERT_EQ(items.Count(), 1u);
  EXPECT_EQ(items.Items(0).FileName, "docs");
  EXPECT_EQ(items.Items(0).ItemType, itDirectory);
  EXPECT_EQ(items.Items(0).Size, 512);
  EXPECT_EQ(items.Items(0).ModifiedDate, At(2003, 1, 1, 0, 0, 999));
}

TEST(FtpListParserTest, SymbolicLinkSplitsNameAndTarget) {
  const TFtpListItems items =
      LoadFtpList({"lrwxrwxrwx 1 o g 7 Mar 5 14:30 current -> releases/v 2"}, kJune2026);
  ASSERT_EQ(items.Count(), 1u);
  EXPECT_EQ(items.Items(0).ItemType, itSymbolicLink);
  EXPECT_EQ(items.Items(0).FileName, "current");
  EXPECT_EQ(items.Items(0).LinkedItemName, "releases/v 2");
}

TEST(FtpListParserTest, SameFileWithTimeThenYearGetsTwoDates) {
  const TFtpListItems items = LoadFtpList(
      {"-rw-r--r-- 1 o g 10 Mar  5 14:30 a.txt", "-rw-r--r-- 1 o g 10 Mar  5  2003 a.txt"},
      kJune2026);
  ASSERT_EQ(items.Count(), 2u);
  EXPECT_EQ(items.Items(0).ModifiedDate, At(2026, 3, 5, 14, 30, 999));
  EXPECT_EQ(items.Items(1).ModifiedDate, At(2003, 3, 5, 0, 0, 999));
}

TEST(FtpListParserTest, UnreadableLineClearsWhatCameBeforeButNotAfter) {
  const TFtpListItems items = LoadFtpList(
      {"-rw-r--r-- 1 o g 10 Mar  5 14:30 first", "-rw-r--r-- 1 o g 10 Mai  5 14:30 bad month",
       "-rw-r--r-- 1 o g 10 Apr 31  2003 no such day", "-rw-r--r-- 1 o g 10 Mar  5 14:30 last"},
      kJune2026);
  ASSERT_EQ(items.Count(), 1u);
  EXPECT_EQ(items.Items(0).FileName, "last");
}

TEST(FtpListParserTest, EmptyListingsAndBlankLinesGiveNoItems) {
  const TFtpListItems none = LoadFtpList(Lines{}, kJune2026);
  EXPECT_EQ(none.Count(), 0u);
  EXPECT_EQ(none.ListFormat(), flfNone);
  const TFtpListItems blanks =
      LoadFtpList({"total 0", "", " \t ", "-rw-r--r-- 1 o g 1 Mar 5 14:30 x"}, kJune2026);
  EXPECT_EQ(blanks.Count(), 1u);
}

TEST(FtpListParserTest, SetGroupIdentityFirstLineMakesTheListingUnknown) {
  EXPECT_FALSE(IsValidUnixPerms("-rwxr-sr-x 1 o g 1 Mar 5 14:30 x"));
  const TFtpListItems items = LoadFtpList(
      {"-rwxr-sr-x 1 o g 1 Mar 5 14:30 x", "-rw-r--r-- 1 o g 1 Mar 5 14:30 y"}, kJune2026);
  EXPECT_EQ(items.ListFormat(), flfUnknown);
  EXPECT_EQ(items.Count(), 0u);
}

TEST(FtpListParserTest, DosListingWithDirectoryAndCommaSizes) {
  const TFtpListItems items = LoadFtpList({"01-15-04  10:51AM       <DIR>          web site",
                                           "01-15-04  02:05PM            1,234,567 a.txt",
                                           "12-31-99  12:00AM                    0 midnight.txt"},
                                          kJune2026);
  EXPECT_EQ(items.ListFormat(), flfDos);
  ASSERT_EQ(items.Count(), 3u);
  EXPECT_EQ(items.Items(0).FileName, "web site");
  EXPECT_EQ(items.Items(0).ItemType, itDirectory);
  EXPECT_EQ(items.Items(0).Size, 0);
  EXPECT_EQ(items.Items(0).ModifiedDate, At(2004, 1, 15, 10, 51, 0));
  EXPECT_EQ(items.Items(1).FileName, "a.txt");
  EXPECT_EQ(items.Items(1).ItemType, itFile);
  EXPECT_EQ(items.Items(1).Size, 1234567);
  EXPECT_EQ(items.Items(1).ModifiedDate, At(2004, 1, 15, 14, 5, 0));
  EXPECT_EQ(items.Items(2).ModifiedDate, At(1999, 12, 31, 0, 0, 0));
}

TEST(FtpListParserTest, DosLineWithUnreadableDateIsKeptWithoutADate) {
  const TFtpListItems items = LoadFtpList(
      {"01-15-04  10:51AM       <DIR>          dir", "13-45-04  99:99XM          5 odd.txt"},
      kJune2026);
  ASSERT_EQ(items.Count(), 2u);
  EXPECT_EQ(items.Items(1).FileName, "odd.txt");
  EXPECT_EQ(items.Items(1).Size, 5);
  EXPECT_EQ(items.Items(1).ModifiedDate, 0);
}

TEST(FtpListParserTest, FormatIsJudgedFromTheFirstLine) {
  EXPECT_EQ(CheckListFormat("drwxr-xr-x 2 o g 512 Jan 01 2003 docs"), flfUnix);
  EXPECT_EQ(CheckListFormat("TOTAL 12"), flfUnix);
  EXPECT_EQ(CheckListFormat("USER1:[DIR]  DSK:FILE.TXT;1"), flfVax);
  EXPECT_EQ(CheckListFormat("01-15-04  02:05PM                  589 readme.htm"), flfDos);
  EXPECT_EQ(CheckListFormat("01/15/04  02:05PM                   -1 minus.htm"), flfUnknown);
  EXPECT_EQ(CheckListFormat("just a name"), flfUnknown);
  EXPECT_EQ(CheckListFormat("drwx"), flfUnknown);
}

// Lines as pyftpdlib writes them: recent entries with a time, old ones with
// a year, a name with blanks.
TEST(FtpListParserTest, LinesAsPyftpdlibWritesThem) {
  const TFtpListItems items =
      LoadFtpList({"-rw-r--r--   1 root     root            6 Jun 06 09:55 a.txt",
                   "drwxr-xr-x   2 root     root         4096 Jun 06 09:55 my dir",
                   "-rw-------   1 1000     1000     104857600 Jan 02  2020 old file.bin"},
                  kJune2026);
  ASSERT_EQ(items.Count(), 3u);
  EXPECT_EQ(items.Items(0).FileName, "a.txt");
  EXPECT_EQ(items.Items(0).ModifiedDate, At(2026, 6, 6, 9, 55, 999));
  EXPECT_EQ(items.Items(1).FileName, "my dir");
  EXPECT_EQ(items.Items(1).ItemType, itDirectory);
  EXPECT_EQ(items.Items(2).FileName, "old file.bin");
  EXPECT_EQ(items.Items(2).Size, 104857600);
  EXPECT_EQ(items.Items(2).ModifiedDate, At(2020, 1, 2, 0, 0, 999));
}

TEST(FtpDateTimeTest, EncodesDaysSince1899AndDecodesBack) {
  EXPECT_EQ(At(1899, 12, 30, 0, 0, 0), 0.0);
  EXPECT_EQ(At(1900, 1, 1, 12, 0, 0), 2.5);
  EXPECT_EQ(At(1899, 12, 29, 6, 0, 0), -1.25);
  EXPECT_EQ(At(2000, 1, 1, 0, 0, 0), 36526.0);
  const TFtpDateTimeParts back = DecodeFtpDateTime(At(2024, 2, 29, 23, 59, 999));
  EXPECT_EQ(back.Year, 2024);
  EXPECT_EQ(back.Month, 2);
  EXPECT_EQ(back.Day, 29);
  EXPECT_EQ(back.Hour, 23);
  EXPECT_EQ(back.Minute, 59);
  EXPECT_EQ(back.Millisecond, 999);
  EXPECT_FALSE(EncodeFtpDateTime(Day(2023, 2, 29)).has_value());
  EXPECT_FALSE(EncodeFtpDateTime(Day(2023, 0, 1)).has_value());
  EXPECT_FALSE(EncodeFtpDateTime(Day(0, 1, 1)).has_value());
}

}  // namespace
}  // namespace ravelo
