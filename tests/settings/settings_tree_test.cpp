#include "settings/settings_tree.h"

#include <gtest/gtest.h>

#include "settings/settings_error.h"

namespace ravelo {
namespace {

using Names = std::vector<std::string>;

// Missing parents are made; subkeys list in creation order; names ignore
// ASCII case only and keep their first spelling.
TEST(SettingsTreeTest, KeysAreMadeAsNamedAndFoldOnlyAsciiLetters) {
  TSettingsTree tree;
  EXPECT_FALSE(tree.KeyExists("\\Software\\Ravelo"));
  ASSERT_TRUE(tree.OpenOrCreateKey("\\Software\\Ravelo\\Extensions\\TXT"));
  // Leading and trailing "\" are optional.
  EXPECT_TRUE(tree.KeyExists("Software\\Ravelo\\Extensions\\"));
  for (const char* name : {"php", "Zip", "a", "HTML", "hTmL"})
    EXPECT_TRUE(tree.OpenOrCreateKey(std::string("\\SOFTWARE\\ravelo\\Extensions\\") + name));
  EXPECT_EQ(tree.GetKeyNames("\\Software\\Ravelo\\Extensions"),
            (Names{"TXT", "php", "Zip", "a", "HTML"}));
  EXPECT_TRUE(tree.GetKeyNames("\\Nowhere").empty());
  tree.WriteString("\\Software", "Name", "one");
  tree.WriteString("\\software", "NAME", "two");
  EXPECT_EQ(tree.GetValueNames("\\Software"), Names{"Name"});
  EXPECT_EQ(tree.ReadString("\\Software", "name"), "two");
  tree.OpenOrCreateKey("\\K\\\xC3\xA4");
  tree.OpenOrCreateKey("\\K\\\xC3\x84");
  EXPECT_EQ(tree.GetKeyNames("\\K").size(), 2u);
}

TEST(SettingsTreeTest, DeletingAKeyDeletesItsSubtree) {
  TSettingsTree tree;
  tree.WriteBool("\\Software\\Ravelo", "Project Panel", true);
  tree.WriteByte("\\Software\\Ravelo\\Extensions\\TXT", "TransferType", 0);
  tree.WriteString("\\Software\\Ravelo\\Extensions\\EXE\\Deeper", "Command", "x");
  EXPECT_TRUE(tree.DeleteKey("\\Software\\Ravelo\\Extensions"));
  EXPECT_FALSE(tree.KeyExists("\\Software\\Ravelo\\Extensions\\EXE\\Deeper"));
  EXPECT_FALSE(tree.KeyExists("\\Software\\Ravelo\\Extensions"));
  EXPECT_TRUE(tree.ReadBool("\\Software\\Ravelo", "Project Panel"));
  EXPECT_FALSE(tree.DeleteKey("\\Software\\Ravelo\\Extensions"));
  EXPECT_FALSE(tree.DeleteKey(""));  // the root stays
}

TEST(SettingsTreeTest, ReadingAMissingOrMistypedValueFails) {
  TSettingsTree tree;
  tree.WriteString("\\Software\\Ravelo", "Text", "1");
  EXPECT_THROW(tree.ReadBool("\\Software\\Ravelo", "Project Panel"), ESettingsValueNotFound);
  EXPECT_THROW(tree.ReadString("\\Software\\Missing", "Text"), ESettingsValueNotFound);
  try {
    tree.ReadString("\\Software\\Ravelo\\Projects", "");
    FAIL();
  } catch (const ESettingsValueNotFound& e) {
    EXPECT_STREQ(e.what(), "Default Value Not Found In Key '\\Software\\Ravelo\\Projects'");
  }
  try {
    tree.ReadBool("\\Software\\Ravelo", "Text");
    FAIL();
  } catch (const ESettingsWrongKind& e) {
    EXPECT_STREQ(e.what(), "Value 'Text' In Key '\\Software\\Ravelo' Is Not A Boolean");
  }
}

TEST(SettingsTreeTest, PathsWithAnEmptyNameNameNoKey) {
  TSettingsTree tree;
  EXPECT_FALSE(tree.OpenOrCreateKey("\\Software\\\\Ravelo"));
  EXPECT_FALSE(tree.KeyExists("\\Software\\\\Ravelo"));
  EXPECT_THROW(tree.WriteBool("\\A\\\\B", "x", true), ESettingsInvalidKey);
  EXPECT_EQ(tree, TSettingsTree());
  std::string deep;
  for (std::size_t i = 0; i <= kMaxSettingsKeyDepth; ++i) deep += "\\k";
  EXPECT_FALSE(tree.OpenOrCreateKey(deep));
}

}  // namespace
}  // namespace ravelo
