#include "model/time_info.h"

#include <gtest/gtest.h>

#include <string>

namespace ravelo {
namespace {

TEST(TimeInfoTest, KeepsAdditionOrderAndFindsExactNamesOnly) {
  TTimeInfo info;
  info.AddFile("A.TXT").SetInfo(10, 45000.5);
  info.AddFile("a.txt");
  info.AddFolder("docs");
  ASSERT_EQ(info.FileCount(), 2);
  ASSERT_EQ(info.FolderCount(), 1);
  EXPECT_EQ(info.FileAt(0).Name, "A.TXT");
  EXPECT_EQ(info.FileAt(1).Name, "a.txt");
  EXPECT_EQ(info.FolderAt(0).Name, "docs");
  EXPECT_EQ(info.FindFile("A.TXT"), &info.FileAt(0));
  EXPECT_EQ(info.FindFile("a.txt"), &info.FileAt(1));
  EXPECT_EQ(info.FindFile("A.txt"), nullptr);
  EXPECT_EQ(info.FindFolder("DOCS"), nullptr);
  EXPECT_EQ(info.FindFile("docs"), nullptr);  // a folder is not a file
  EXPECT_EQ(info.FileAt(0).Size.GetValue(), 10);
  EXPECT_EQ(info.FileAt(0).Time.GetValue(), 45000.5);
}

TEST(TimeInfoTest, AFileAndAFolderMayShareAName) {
  TTimeInfo info;
  info.AddFile("same");
  info.AddFolder("same");
  EXPECT_NE(info.FindFile("same"), nullptr);
  EXPECT_NE(info.FindFolder("same"), nullptr);
}

TEST(TimeInfoTest, ASecondItemOfTheSameNameIsRefusedAndTheFirstKept) {
  TTimeInfo info;
  info.AddFile("x").SetInfo(1, 2.0);
  try {
    info.AddFile("x");
    FAIL() << "a duplicate file was added";
  } catch (const EItemAlreadyExists& error) {
    EXPECT_STREQ(error.what(), "TimeInfo Item With The Name \"x\" Already Exists");
  }
  info.AddFolder("d");
  EXPECT_THROW(info.AddFolder("d"), ETimeInfo);
  ASSERT_EQ(info.FileCount(), 1);
  EXPECT_EQ(info.FindFile("x")->Size.GetValue(), 1);
}

TEST(TimeInfoTest, ClearEmptiesBothListsAndTheirIndexes) {
  TTimeInfo info;
  info.AddFile("f");
  info.AddFolder("d");
  info.Clear();
  EXPECT_EQ(info.FileCount(), 0);
  EXPECT_EQ(info.FolderCount(), 0);
  EXPECT_EQ(info.FindFile("f"), nullptr);
  EXPECT_EQ(info.FindFolder("d"), nullptr);
  info.AddFile("f");  // the name is free again
  EXPECT_EQ(info.FileCount(), 1);
}

TEST(TimeInfoTest, AFileWithoutInfoHasUndefinedTimeAndSize) {
  TTimeInfo info;
  TTimeInfoFile& file = info.AddFile("new");
  EXPECT_THROW(file.Time.GetValue(), ETimeUndefined);
  EXPECT_THROW(file.Size.GetValue(), ESizeUndefined);
}

TEST(TimeInfoTest, ItemsStayFindableAcrossManyAdditions) {
  // The index keys view the items' names; growing the lists must not move them.
  TTimeInfo info;
  for (int i = 0; i < 5000; ++i) info.AddFile("file" + std::to_string(i)).SetInfo(i, i);
  for (int i = 0; i < 5000; i += 499) {
    const TTimeInfoFile* file = info.FindFile("file" + std::to_string(i));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->Size.GetValue(), i);
  }
  EXPECT_THROW(info.FileAt(5000), std::out_of_range);
}

}  // namespace
}  // namespace ravelo
