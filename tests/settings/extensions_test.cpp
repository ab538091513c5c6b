#include "settings/extensions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <thread>

#include "settings/extension_error.h"
#include "settings/settings_error.h"
#include "settings/settings_store.h"
#include "support/temp_dir.h"

namespace ravelo {
namespace {

constexpr const char* kKey = "\\Software\\Ravelo\\Extensions";

std::vector<std::string> Names(const TExtensions& extensions) {
  std::vector<std::string> names;
  for (const auto& item : extensions.ItemList()) names.push_back(item.Extension);
  return names;
}

class TExtensionsTest : public ::testing::Test {
 protected:
  test::TTempDir dir_;
  TSettingsStore store_{dir_ / "ravelo/settings"};
};

TEST(ExtractExtensionTest, TakesTheTextAfterTheLastDotOfTheName) {
  EXPECT_EQ(ExtractExtension("archive.tar.gz"), "gz");
  EXPECT_EQ(ExtractExtension(".profile"), "profile");
  EXPECT_EQ(ExtractExtension("Makefile"), "");
  EXPECT_EQ(ExtractExtension("name."), "");
  EXPECT_EQ(ExtractExtension("/home/me/site/index.HTML"), "HTML");
  // A dot in a folder name is not the file's extension.
  EXPECT_EQ(ExtractExtension("/home/me/site.d/README"), "");
  EXPECT_EQ(ExtractExtension("docs.old\\README"), "");
}

TEST_F(TExtensionsTest, StartsWithTheBuiltInListInItsOrder) {
  TExtensions extensions;
  EXPECT_EQ(Names(extensions),
            (std::vector<std::string>{"TXT", "HTM", "HTML", "CSS", "XML", "XHTML", "PHP",
                                      "CPP", "HPP", "C",    "H",   "PAS", "DFM",   "LOG",
                                      "EXE", "PIF", "BAT",  "COM", "SCR", "DLL"}));
  for (const auto& item : extensions.ItemList()) {
    const bool text = extensions.IndexOf(item.Extension) < 14;
    EXPECT_EQ(item.TransferType, text ? ftASCII : ftBinary) << item.Extension;
    EXPECT_EQ(item.OpenType, text ? otDefault : otNone) << item.Extension;
    EXPECT_EQ(item.Command, "");
  }
}

TEST_F(TExtensionsTest, LookupsIgnoreAsciiCaseAndDuplicatesAreRefused) {
  TExtensions extensions;
  EXPECT_EQ(extensions.Find("txt").Extension, "TXT");
  EXPECT_EQ(extensions.IndexOf("Html"), 2);
  EXPECT_EQ(extensions.IndexOf("zip"), -1);
  try {
    extensions.Add("Txt", ftBinary, "", otNone);
    FAIL();
  } catch (const EDuplicateExtension& e) {
    EXPECT_STREQ(e.what(), "Extension 'Txt' Already Defined");
  }
  EXPECT_EQ(extensions.Count(), 20);
  EXPECT_EQ(extensions.Find("TXT").TransferType, ftASCII);

  extensions.Add("Zip", ftBinary, "unzip-tool", otCustom);
  EXPECT_EQ(extensions.Items(20).Command, "unzip-tool");
  extensions.SetOpenType("zip", otNone);
  EXPECT_EQ(extensions.Find("ZIP").OpenType, otNone);
  extensions.Remove("zIp");
  try {
    extensions.Find("zip");
    FAIL();
  } catch (const ENoExtension& e) {
    EXPECT_STREQ(e.what(), "Unknown Extension 'zip'");
  }
  EXPECT_THROW(extensions.Remove("zip"), ENoExtension);
  EXPECT_THROW(extensions.SetCommand("zip", "x"), ENoExtension);
  EXPECT_THROW(extensions.Items(20), std::out_of_range);
}

TEST_F(TExtensionsTest, SaveAndLoadKeepTheListItsOrderAndLetterCase) {
  TExtensions extensions;
  extensions.Save(store_);
  store_.WriteString(std::string(kKey) + "\\PHP\\Stray", "", "left by hand");
  extensions.Clear();
  extensions.Add("md", ftASCII, "", otDefault);
  extensions.Add("Tar.GZ", ftBinary, "/usr/bin/file-roller", otCustom);
  extensions.Add("\xC3\xA4x", ftASCII, "editor \"with\" quotes\nand = [odd] text", otNone);
  extensions.Save(store_);

  TExtensions loaded;
  TSettingsStore fresh(dir_ / "ravelo/settings");
  loaded.Load(fresh);
  EXPECT_EQ(loaded.ItemList(), extensions.ItemList());
  // The old list is replaced whole, subkeys left by hand included.
  EXPECT_EQ(store_.GetKeyNames(kKey), (std::vector<std::string>{"md", "Tar.GZ", "\xC3\xA4x"}));
  EXPECT_EQ(store_.ReadByte(std::string(kKey) + "\\Tar.GZ", "OpenType"), otCustom);
}

TEST_F(TExtensionsTest, LoadTakesOnlyWholeEntriesAndKeepsTheItemsWithoutTheKey) {
  TExtensions extensions;
  store_.WriteBool("\\Software\\Ravelo", "Project Panel", true);
  try {
    extensions.Load(store_);
    FAIL();
  } catch (const EExtensionsNotFound& e) {
    EXPECT_STREQ(e.what(), "Extensions' Data Was Not Found In The Registry");
  }
  EXPECT_EQ(extensions.Count(), 20);

  const std::string key(kKey);
  store_.Update([&](TSettingsTree& tree) {
    tree.WriteByte(key + "\\good", "TransferType", ftASCII);
    tree.WriteByte(key + "\\good", "OpenType", otCustom);
    tree.WriteString(key + "\\good", "Command", "tool");
    tree.WriteByte(key + "\\nocommand", "TransferType", ftASCII);
    tree.WriteByte(key + "\\nocommand", "OpenType", otDefault);
    tree.WriteByte(key + "\\badtype", "TransferType", 7);
    tree.WriteByte(key + "\\badtype", "OpenType", otDefault);
    tree.WriteString(key + "\\badtype", "Command", "");
    tree.WriteString(key + "\\text", "TransferType", "0");
    return true;
  });
  extensions.Load(store_);
  ASSERT_EQ(extensions.Count(), 1);
  EXPECT_EQ(extensions.Items(0), (TExtension{otCustom, ftASCII, "tool", "good"}));

  store_.DeleteKey(key);
  store_.OpenOrCreateKey(key);
  extensions.Load(store_);
  EXPECT_EQ(extensions.Count(), 0);  // an empty key gives an empty list
}

TEST_F(TExtensionsTest, AFailedSaveRaisesWithTheCauseAndKeepsTheStore) {
  TExtensions extensions;
  extensions.Save(store_);
  const std::string before = dir_.ReadFile("ravelo/settings");
  extensions.Clear();
  TSettingsStore blocked(dir_ / "ravelo/settings/inside-a-file");
  try {
    extensions.Save(blocked);
    FAIL();
  } catch (const ECantAccessRegistry& e) {
    EXPECT_STREQ(e.what(), "Can't Access Registry To Write Extensions Data");
    EXPECT_THROW(std::rethrow_if_nested(e), ESettingsFileError);
  }
  EXPECT_EQ(dir_.ReadFile("ravelo/settings"), before);
}

TEST_F(TExtensionsTest, LookupsFromWorkerThreadsMeetEditsSafely) {
  TExtensions extensions;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    while (!done) {
      try {
        (void)extensions.Find("zip").TransferType;
      } catch (const ENoExtension&) {
      }
    }
  });
  for (int i = 0; i < 2000; ++i) {
    extensions.Add("zip", ftBinary, "", otDefault);
    extensions.Remove("zip");
  }
  done = true;
  worker.join();
  EXPECT_EQ(extensions.Count(), 20);
}

}  // namespace
}  // namespace ravelo
