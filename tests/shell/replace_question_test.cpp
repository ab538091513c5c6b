#include "shell/replace_question.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <limits>

#include "support/temp_dir.h"

namespace ravelo::test {
namespace {

std::timespec LocalTime(int year, int month, int day, int hour, int minute, int second,
                        long nanoseconds = 0) {
  std::tm local{};
  local.tm_year = year - 1900, local.tm_mon = month - 1, local.tm_mday = day;
  local.tm_hour = hour, local.tm_min = minute, local.tm_sec = second, local.tm_isdst = -1;
  return {std::mktime(&local), nanoseconds};
}

void SetTime(const std::filesystem::path& path, const std::timespec& time) {
  const timespec times[2] = {time, time};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST(ReplaceQuestionTest, SizeTexts) {
  const TTextFormat plain;
  TTextFormat german;
  german.ThousandsSeparator = ".", german.DecimalPoint = ",";
  const struct {
    std::int64_t bytes;
    const TTextFormat& format;
    std::string text;
  } cases[] = {
      {0, plain, "0 KB"},
      {1536, plain, "1.5 KB"},
      {1100, plain, "1.07 KB"},
      {1023, plain, "1 KB"},
      {1234567 * std::int64_t{1024}, plain, "1,234,567 KB"},
      {1234 * 1024 + 512, german, "1.234,5 KB"},
      {std::numeric_limits<std::int64_t>::max(), plain, "9,007,199,254,740,992 KB"},
  };
  for (const auto& c : cases) EXPECT_EQ(SizeText(c.bytes, c.format), c.text) << c.bytes;
}

TEST(ReplaceQuestionTest, DateTextsLeaveOutMidnight) {
  const TTextFormat plain;
  EXPECT_EQ(DateText(LocalTime(2026, 3, 5, 14, 30, 5), plain), "2026-03-05 14:30:05");
  EXPECT_EQ(DateText(LocalTime(2026, 3, 5, 0, 0, 0), plain), "2026-03-05");
  EXPECT_EQ(DateText(LocalTime(2026, 3, 5, 0, 0, 0, 1), plain), "2026-03-05 00:00:00");
  TTextFormat own;
  own.ShortDate = [](int y, int m, int d) {
    return std::to_string(d) + "." + std::to_string(m) + "." + std::to_string(y);
  };
  own.LongTime = [](int h, int m, int s) { return std::to_string(h * 10000 + m * 100 + s); };
  EXPECT_EQ(DateText(LocalTime(2026, 3, 5, 14, 30, 5), own), "5.3.2026 143005");
}

TEST(ReplaceQuestionTest, TextsOfTheQuestion) {
  TTempDir dir;
  const auto existing = dir.CreateFile("site/a.txt", std::string(1536, 'x'));
  const auto replacing = dir.CreateFile("drop/a.txt", "y");
  SetTime(existing, LocalTime(2026, 3, 5, 14, 30, 5, 2));
  SetTime(replacing, LocalTime(2026, 3, 5, 14, 30, 5, 1));
  const std::string folder = (dir / "site").string();
  TReplaceTexts texts = ReplaceTexts(ReadReplaceFacts(replacing.string(), folder), {});
  EXPECT_EQ(texts.Lead + "<b>" + texts.Name + "</b>" + texts.Tail,
            "A file \"<b>a.txt</b>\" already exists in folder\r\n\"" + folder + "\"");
  EXPECT_TRUE(texts.ShowInfo);
  EXPECT_EQ(texts.ExistingSize, "1.5 KB");
  EXPECT_EQ(texts.ReplacingSize, "0 KB");
  EXPECT_EQ(texts.ExistingDate, "2026-03-05 14:30:05");
  EXPECT_TRUE(texts.ExistingNewer);  // later by a nanosecond
  EXPECT_FALSE(texts.ReplacingNewer);

  SetTime(existing, LocalTime(2026, 3, 5, 14, 30, 5, 1));
  texts = ReplaceTexts(ReadReplaceFacts(replacing.string(), folder), {});
  EXPECT_FALSE(texts.ExistingNewer || texts.ReplacingNewer);

  dir.CreateDir("site/img");
  dir.CreateDir("drop/img");
  texts = ReplaceTexts(ReadReplaceFacts((dir / "drop/img").string(), folder), {});
  EXPECT_EQ(texts.Lead, "A folder \"");
  EXPECT_EQ(texts.Name, "img");
  EXPECT_TRUE(texts.ExistingSize.empty() && texts.ReplacingSize.empty());

  texts = ReplaceTexts(ReadReplaceFacts((dir / "drop/gone").string(), folder), {});
  EXPECT_FALSE(texts.ShowInfo);
}

}  // namespace
}  // namespace ravelo::test
