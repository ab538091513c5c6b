#include "project/cli_arguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "project/cli_text.h"

namespace ravelo {
namespace {

using TArgs = std::vector<std::string>;

TEST(CliArgumentsTest, OptionsStandAnywhereAfterTheCommand) {
  const TCliArguments status = ParseCliArguments({"status", "p.rvlp", "docs/", "-r", "./a//b"});
  EXPECT_EQ(status.Command, ccStatus);
  EXPECT_EQ(status.Project, "p.rvlp");
  EXPECT_TRUE(status.Recursive);
  ASSERT_EQ(status.Paths.size(), 2u);
  EXPECT_EQ(status.Paths[0].Names, (TArgs{"docs"}));
  EXPECT_EQ(status.Paths[1].Names, (TArgs{"a", "b"}));

  const TCliArguments made = ParseCliArguments(
      {"new", "--no-auto-upload", "p.rvlp", "--host=[::1]:2121", "--remote", "www"});
  EXPECT_EQ(made.Host, "[::1]:2121");
  EXPECT_EQ(made.Login, "anonymous");
  EXPECT_EQ(made.Remote, "www");
  EXPECT_FALSE(made.AutoUploadFresh);
  EXPECT_EQ(made.DataMode, dmAutomatic);
  EXPECT_EQ(made.TlsMode, tmIfOffered);
  const TCliArguments modes =
      ParseCliArguments({"new", "p", "--host", "h", "--passive", "--tls", "require"});
  EXPECT_EQ(modes.DataMode, dmPassive);
  EXPECT_EQ(modes.TlsMode, tmRequire);
  EXPECT_EQ(ParseCliArguments({"new", "p", "--host", "h", "--active", "--tls=off"}).TlsMode,
            tmPlain);
  EXPECT_EQ(ParseCliArguments({"trust", "p", "ab:" + std::string(62, 'c')}).Fingerprint,
            "AB" + std::string(62, 'C'));

  const TCliArguments renamed = ParseCliArguments({"rename", "p", "--", "-a.txt", "b\\tc"});
  EXPECT_EQ(renamed.Paths[0].Names, (TArgs{"-a.txt"}));
  EXPECT_EQ(renamed.NewName, "b\tc");
  EXPECT_EQ(ParseCliArguments({"resolve", "p", "a", "--copy"}).Answer, caCopy);
  EXPECT_TRUE(ParseCliArguments({"status", "--help"}).Help);
  EXPECT_TRUE(ParseCliArguments({"status", "p", "."}).Paths[0].Names.empty());
}

TEST(CliArgumentsTest, BadUsageIsRefusedBeforeAnythingIsOpened) {
  const TArgs cases[] = {
      {},
      {"frobnicate", "p"},
      {"status"},
      {"status", "p", "-x"},
      {"sync", "p"},
      {"mkdir", "p", "a", "b"},
      {"watch", "p", "a", "b"},
      {"status", "p", ""},
      {"status", "p", "/etc"},
      {"status", "p", "docs/../.."},
      {"status", "p", "a\\\\b"},  // a "\" no name may hold
      {"delete", "p", "."},
      {"touch", "p", "./"},
      {"rename", "p", "a"},
      {"rename", "p", "a", "b/c"},
      {"rename", "p", "a", ".."},
      {"resolve", "p", "a"},
      {"resolve", "p", "a", "--copy", "--identical"},
      {"open", "p", "--no-lunch", "a"},
      {"new", "p"},
      {"new", "p", "--host"},
      {"new", "p", "--host", "h:99999"},
      {"new", "p", "--host", "h", "extra"},
      {"new", "p", "--host", "h", "--tls=maybe"},
      {"status", "p", "--passive"},
      {"trust", "p"},
      {"trust", "p", std::string(63, 'a')},
      {"trust", "p", std::string(64, 'g')},
  };
  for (const TArgs& arguments : cases) {
    std::string joined;
    for (const std::string& argument : arguments) joined += argument + " ";
    EXPECT_THROW(ParseCliArguments(arguments), ECliUsage) << joined;
  }
}

TEST(CliTextTest, EscapesKeepOneRecordALineAndReadBack) {
  const struct {
    std::string plain;
    std::string escaped;
  } cases[] = {
      {"index.html", "index.html"},
      {"a\tb\nc\rd", "a\\tb\\nc\\rd"},
      {std::string("\x01\x7f", 2), "\\x01\\x7f"},
      {"back\\slash", "back\\\\slash"},
      {"caf\xc3\xa9", "caf\xc3\xa9"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CliEscape(c.plain), c.escaped);
    EXPECT_EQ(CliUnescape(c.escaped), c.plain);
  }
  // A "\" before anything else, or at the end, stays.
  EXPECT_EQ(CliUnescape("a\\qb\\x4"), "a\\qb\\x4");
}

}  // namespace
}  // namespace ravelo
