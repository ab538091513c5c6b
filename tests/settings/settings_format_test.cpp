#include "settings/settings_format.h"

#include <gtest/gtest.h>

#include "settings/settings_error.h"

namespace ravelo {
namespace {

TEST(SettingsFormatTest, EveryByteStringRoundTripsInValuesAndNames) {
  std::string all_bytes;
  for (int c = 0; c < 256; ++c) all_bytes += static_cast<char>(c);
  const std::vector<std::string> samples = {
      "",
      "plain",
      "two\nlines\r\nand a tab\t",
      "a = b",
      "[Software\\Ravelo]",
      "\"quoted\" \\ back\\slash \\x41 \\n",
      std::string("nul\0inside", 10),
      "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80 valid UTF-8",
      "\xFF\xC3 \xE2\x82 \xED\xA0\x80 \xC0\xAF broken UTF-8",
      "  blanks around  ",
      "# not a comment",
      all_bytes,
  };
  TSettingsTree tree;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    tree.WriteString("\\Strings", "v" + std::to_string(i), samples[i]);
    if (!samples[i].empty() && samples[i].find('\\') == std::string::npos) {
      tree.WriteString("\\Names\\" + samples[i], samples[i], samples[i]);
    }
  }
  tree.WriteString("\\Strings", "", "default");
  tree.WriteString("\\Strings", "@", "a value named @");
  tree.WriteByte("\\Kinds", "zero", 0);
  tree.WriteByte("\\Kinds", "max", 255);
  tree.WriteBool("\\Kinds", "yes", true);
  tree.WriteBool("\\Kinds", "no", false);
  tree.WriteString("", "root value", "at the top");
  tree.OpenOrCreateKey("\\Empty\\Key");

  const std::string text = FormatSettings(tree);
  const auto again = ParseSettings(text, "settings");
  EXPECT_EQ(again, tree);
  EXPECT_EQ(FormatSettings(again), text);
  EXPECT_EQ(again.ReadString("\\Strings", "v11"), all_bytes);
  EXPECT_EQ(again.ReadString("\\Strings", ""), "default");
  EXPECT_EQ(again.ReadString("\\Strings", "@"), "a value named @");
}

TEST(SettingsFormatTest, TheTextIsReadableValidUtf8WithOneEntryPerLine) {
  TSettingsTree tree;
  tree.WriteBool("\\Software\\Ravelo", "Project Panel", true);
  tree.WriteString("\\Software\\Ravelo\\Projects", "", "/home/me/site\n/home/me/s\xC3\xA4te\n");
  tree.WriteByte("\\Software\\Ravelo\\Extensions\\TXT", "TransferType", 0);
  tree.OpenOrCreateKey("\\Odd\\a]b%c d\xFF");
  const std::string text = FormatSettings(tree);
  EXPECT_NE(text.find("\n[Software\\Ravelo]\n\"Project Panel\" = bool 1\n"), std::string::npos);
  EXPECT_NE(text.find("@ = string \"/home/me/site\\n/home/me/s\xC3\xA4te\\n\"\n"),
            std::string::npos);
  EXPECT_NE(text.find("[Software\\Ravelo\\Extensions\\TXT]\n\"TransferType\" = byte 0\n"),
            std::string::npos);
  EXPECT_NE(text.find("[Odd\\a%5Db%25c%20d%FF]"), std::string::npos);
  EXPECT_EQ(ParseSettings(text, "settings"), tree);
}

TEST(SettingsFormatTest, AcceptsHandEditedText) {
  const auto tree = ParseSettings(
      "; a comment\r\n"
      "  [Software\\Ravelo\\Extensions\\PHP]  \r\n"
      "\t\"OpenType\"=byte 002\r\n"
      "\"Command\"   =   string\"ed\"\r\n"
      "[software]\n"
      "@ = bool 0",
      "settings");
  EXPECT_EQ(tree.ReadByte("\\Software\\Ravelo\\Extensions\\PHP", "OpenType"), 2);
  EXPECT_EQ(tree.ReadString("\\Software\\Ravelo\\Extensions\\PHP", "Command"), "ed");
  EXPECT_FALSE(tree.ReadBool("\\Software", ""));
  EXPECT_EQ(tree.GetKeyNames(""), std::vector<std::string>{"Software"});
}

TEST(SettingsFormatTest, DamageIsReportedWithFileAndLine) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"[Software\n", "Missing Closing Bracket"},
      {"[Software\\\\Ravelo]\n", "Empty Key Name"},
      {"[a%4]\n", "Bad Escape In Key Name"},
      {"[a%5Cb]\n", "Backslash In Key Name"},
      {"[A]\n[a]\n", "Key Declared Twice"},
      {"\"x\" = string \"open\n", "Unterminated String"},
      {"\"x\" = string \"\\q\"\n", "Bad Escape In String"},
      {"\"x\" = string \"a\" b\n", "Text After Value"},
      {"\"x\" string \"a\"\n", "Missing '='"},
      {"\"x\" = byte 256\n", "Bad Byte Value"},
      {"\"x\" = byte -1\n", "Bad Byte Value"},
      {"\"x\" = bool 2\n", "Bad Boolean Value"},
      {"\"x\" = dword 1\n", "Unknown Kind 'dword'"},
      {"\"x\" = bool 1\n\"X\" = bool 0\n", "Value Defined Twice"},
      {"name = string \"a\"\n", "Unexpected Text"},
  };
  for (const auto& [body, reason] : cases) {
    SCOPED_TRACE(body);
    try {
      ParseSettings("# header\n\n" + body, "/cfg/settings");
      ADD_FAILURE() << "parsed";
    } catch (const ESettingsDamaged& e) {
      EXPECT_EQ(e.Reason(), reason);
      EXPECT_EQ(e.Line(), body.find('\n') + 1 == body.size() ? 3u : 4u);
      EXPECT_EQ(std::string(e.what()), "Settings File '/cfg/settings' Is Damaged In Line " +
                                           std::to_string(e.Line()) + ": " + reason);
    }
  }
}

}  // namespace
}  // namespace ravelo
