// Machine listings (MLSD, MLST), their times, FEAT and the passive replies.
#include "net/ftp_mlsd_parser.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "net/ftp_date_time.h"
#include "net/ftp_exceptions.h"
#include "net/ftp_features.h"

namespace ravelo {
namespace {

// Runs the test in a zone an hour east of universal time (no summer time).
struct TZoneGuard {
  TZoneGuard() {
    setenv("TZ", "<+01>-1", 1);
    tzset();
  }
  ~TZoneGuard() {
    unsetenv("TZ");
    tzset();
  }
};

std::string Show(double date_time) {
  const TFtpDateTimeParts p = DecodeFtpDateTime(date_time);
  char text[32];
  std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d.%03d", p.Year, p.Month, p.Day,
                p.Hour, p.Minute, p.Second, p.Millisecond);
  return text;
}

TEST(FtpMlsdParserTest, LinesGiveEntriesInLocalTime) {
  const TZoneGuard zone;
  struct TCase {
    std::string line;
    std::string outcome;  // "skipped", "invalid", or type, size, time and name
  };
  const std::vector<TCase> cases = {
      {"modify=20260305143027;perm=r;size=1024;type=file;unique=1; my  file.txt",
       "1 1024 2026-03-05 15:30:27.000 'my  file.txt'"},
      {"Type=DIR;Modify=20251231233059.5; sub", "0 0 2026-01-01 00:30:59.500 'sub'"},
      {"type=OS.unix=slink:/target;modify=20260305143027; link",
       "2 0 2026-03-05 15:30:27.000 'link' -> /target"},
      {"type=OS.unix=blk;modify=20260305143027; dev", "3 0 2026-03-05 15:30:27.000 'dev'"},
      {"type=cdir;modify=20260305143027; .", "skipped"},
      {"type=pdir; ..", "skipped"},
      {"type=file;modify=20260305143027; no-size", "invalid"},
      {"type=file;size=1;modify=20260230143027; bad-date", "invalid"},
      {"type=file;size=1;modify=2026030514; short-date", "invalid"},
      {"size=1;modify=20260305143027; no-type", "invalid"},
      {"type=dir;size=1; no-modify", "invalid"},
      {"type=file;size=1;modify=20260305143027;", "invalid"},  // no name
      {" name-only", "invalid"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    TFtpListItem item;
    std::string outcome;
    try {
      if (!ParseMlsdItem(c.line, item)) {
        outcome = "skipped";
      } else {
        outcome = std::to_string(item.ItemType) + " " + std::to_string(item.Size) + " " +
                  Show(item.ModifiedDate) + " '" + item.FileName + "'" +
                  (item.LinkedItemName.empty() ? "" : " -> " + item.LinkedItemName);
        EXPECT_EQ(item.TimePrecision, tpExact);
      }
    } catch (const EFtpInvalidListingFormat&) {
      outcome = "invalid";
    }
    EXPECT_EQ(outcome, c.outcome);
  }
  // A listing skips cdir, pdir and blank lines, and fails whole on a bad line.
  const TFtpListItems items = LoadMlsdList(
      {"type=cdir;modify=20260305143027; .", "", "type=file;size=2;modify=20260305143027; a"});
  EXPECT_EQ(items.ListFormat(), flfMlsd);
  ASSERT_EQ(items.Count(), 1u);
  EXPECT_EQ(items.Items(0).FileName, "a");
  EXPECT_THROW(LoadMlsdList({"type=file;size=2;modify=20260305143027; a", "garbage"}),
               EFtpInvalidListingFormat);
}

TEST(FtpFeaturesTest, FeatRepliesAndPassiveReplies) {
  const TFtpReply reply =
      MakeFtpReply({"211-Features:", "MDTM", "mlst type*;size*;modify*;", "AUTH TLS", "211 End"});
  const TFtpFeatures features(reply);
  EXPECT_TRUE(features.Has("MLST"));
  EXPECT_TRUE(features.Has("mdtm"));
  EXPECT_FALSE(features.Has("SIZE"));
  EXPECT_FALSE(features.Has("211"));
  EXPECT_EQ(features.Parameters("MLST"), "type*;size*;modify*;");
  EXPECT_EQ(features.Parameters("AUTH"), "TLS");
  EXPECT_FALSE(TFtpFeatures(MakeFtpReply({"500 FEAT not understood."})).Has("500"));

  for (const auto& [text, port] :
       std::vector<std::pair<std::string, int>>{{"Entering Passive Mode (10,1,2,3,19,137).", 5001},
                                                {"Entering Passive Mode 127,0,0,1,0,21", 21},
                                                {"=1,2,3,4,256,1", -1},
                                                {"1,2,3,4,5", -1},
                                                {"(1,2,3,4,0,0)", -1}}) {
    EXPECT_EQ(ParsePasvPort(text).value_or(-1), port) << text;
  }
  for (const auto& [text, port] :
       std::vector<std::pair<std::string, int>>{{"Entering Extended Passive Mode (|||6446|)", 6446},
                                                {"ok (!!!21!)", 21},
                                                {"(|||70000|)", -1},
                                                {"(||6446|)", -1},
                                                {"(|||6446)", -1}}) {
    EXPECT_EQ(ParseEpsvPort(text).value_or(-1), port) << text;
  }
}

}  // namespace
}  // namespace ravelo
