#include "ui/project_list.h"

#include <gtest/gtest.h>

#include "settings/settings_store.h"
#include "shell/file_system.h"
#include "support/temp_dir.h"

namespace ravelo {
namespace {

using TFolders = std::vector<std::string>;

TEST(ProjectListTest, TheTextFormRoundTrips) {
  const struct {
    TFolders folders;
    std::string text;
  } cases[] = {
      {{}, ""},
      {{""}, "\"\""},
      {{"/a", "/my site", "/b"}, "/a;\"/my site\";/b"},
      {{"/say \"hi\"", "/x;y", "/tab\there"}, "\"/say \"\"hi\"\"\";\"/x;y\";\"/tab\there\""},
      {{"/a", "", "/b", ""}, "/a;;/b;"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatProjectList(c.folders), c.text);
    EXPECT_EQ(ParseProjectList(c.text), c.folders) << c.text;
  }
}

TEST(ProjectListTest, ReadingIsLenientAboutBlanks) {
  const struct {
    std::string text;
    TFolders folders;
  } cases[] = {
      {"  /a ;  /b\n", {"/a", "/b"}},
      {"/a /b;/c", {"/a", "/b", "/c"}},  // an unquoted blank separates
      {"\"/open", {"/open"}},            // an unclosed quote runs to the end
      {"\"/q\" ; /r", {"/q", "/r"}},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseProjectList(c.text), c.folders) << c.text;
}

TEST(ProjectListTest, FolderNames) {
  EXPECT_EQ(ProjectFileName("/home/me/site//"), "/home/me/site/site.rvlp");
  EXPECT_EQ(ProjectFileName("/"), "");
  EXPECT_EQ(ProjectFileName(""), "");
  EXPECT_EQ(NamePart("/home/me/site/"), "site");
  EXPECT_EQ(FolderPart("/home/me/site/site.rvlp"), "/home/me/site/");
  EXPECT_EQ(FolderPart("site.rvlp"), "");
}

TEST(ProjectListTest, TheStoreKeepsTheListAndThePanelSetting) {
  test::TTempDir dir;
  TSettingsStore store(dir / "settings");
  EXPECT_EQ(LoadProjectList(store), TFolders{});
  EXPECT_FALSE(LoadPanelSetting(store));
  SaveProjectList(store, {"/a b", "/c"});
  SavePanelSetting(store, true);
  TSettingsStore again(dir / "settings");
  EXPECT_EQ(again.ReadString("\\Software\\Ravelo\\Projects", ""), "\"/a b\";/c");
  EXPECT_EQ(LoadProjectList(again), (TFolders{"/a b", "/c"}));
  EXPECT_TRUE(LoadPanelSetting(again));
}

}  // namespace
}  // namespace ravelo
