#include "ui/display_texts.h"

#include <gtest/gtest.h>

#include <optional>

#include "net/ftp_date_time.h"

namespace ravelo {
namespace {

TEST(DisplayTextsTest, StatusPanelTexts) {
  EXPECT_EQ(SizePanelText(1, "1,536"), "Size: 1,536");
  EXPECT_EQ(SizePanelText(2, "1,536"), "");
  EXPECT_EQ(SizePanelText(1, ""), "");  // a single folder
  EXPECT_EQ(NodeErrorText("Access Denied", "a.txt"), "Error: Access Denied, Node: a.txt");
  EXPECT_EQ(ConnectErrorText("Login Incorrect"), "Error: Login Incorrect");
  EXPECT_EQ(ClearCacheQuestion(1),
            "1 file holds local changes that would be lost. Clear its cache anyway?");
  EXPECT_EQ(ClearCacheQuestion(3),
            "3 files hold local changes that would be lost. Clear their cache anyway?");
}

TEST(DisplayTextsTest, DateTimeTextLeavesOutExactMidnight) {
  const auto at = [](int hour, int minute, int second, int millisecond) {
    return *EncodeFtpDateTime({2026, 3, 5, hour, minute, second, millisecond});
  };
  EXPECT_EQ(DateTimeText(at(14, 30, 5, 0), {}), "2026-03-05 14:30:05");
  EXPECT_EQ(DateTimeText(at(0, 0, 0, 0), {}), "2026-03-05");
  EXPECT_EQ(DateTimeText(at(0, 0, 0, 1), {}), "2026-03-05 00:00:00");
  TTextFormat format;
  format.ShortDate = [](int y, int m, int d) {
    return std::to_string(d) + "." + std::to_string(m) + "." + std::to_string(y);
  };
  format.LongTime = [](int h, int m, int s) {
    return std::to_string(h) + "h" + std::to_string(m) + "m" + std::to_string(s);
  };
  EXPECT_EQ(DateTimeText(at(9, 5, 7, 0), format), "5.3.2026 9h5m7");
}

TEST(DisplayTextsTest, TransferPercentSinceTheBase) {
  const struct {
    std::int64_t position, total, base;
    int percent;
  } cases[] = {
      {1100, 1300, 1000, 33}, {1200, 1300, 1000, 67}, {1300, 1300, 1000, 100},
      {1, 200, 0, 0},         {3, 200, 0, 2},  // halves to even
      {500, 500, 500, 0},     {900, 800, 0, 100},     {0, 100, 50, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TransferPercent(c.position, c.total, c.base), c.percent)
        << c.position << "/" << c.total << " from " << c.base;
}

TEST(DisplayTextsTest, VersionTextKeepsMajorAndMinor) {
  EXPECT_EQ(VersionText("1.2.3"), "Version 1.2");
  EXPECT_EQ(VersionText("7"), "Version 7");
}

}  // namespace
}  // namespace ravelo
