#include "model/time_info.h"

#include <gtest/gtest.h>

#include <string>

namespace ravelo {
namespace {

TEST(TimeInfoTest, KeepsAdditionOrderAndFindsExactNamesInTheirOwnList) {
  TTimeInfo info;
  info.AddFile("A.TXT").SetInfo(10, 45000.5);
  info.AddFile("a.txt");
  info.AddFolder("docs");
  info.AddFolder("A.TXT");  // a file and a folder may share a name
  ASSERT_EQ(info.FileCount(), 2);
  ASSERT_EQ(info.FolderCount(), 2);
  EXPECT_EQ(info.FileAt(0).Name, "A.TXT");
  EXPECT_EQ(info.FindFile("a.txt"), &info.FileAt(1));
  EXPECT_EQ(info.FindFile("A.txt"), nullptr);
  EXPECT_EQ(info.FindFolder("DOCS"), nullptr);
  EXPECT_EQ(info.FindFile("docs"), nullptr);
  EXPECT_EQ(info.FindFolder("A.TXT"), &info.FolderAt(1));
  EXPECT_EQ(info.FileAt(0).Size.GetValue(), 10);
  EXPECT_EQ(info.FileAt(0).Time.GetValue(), 45000.5);
  EXPECT_FALSE(info.FileAt(1).Time.Defined());
  EXPECT_THROW(info.FileAt(2), std::out_of_range);
  EXPECT_THROW(info.FolderAt(-1), std::out_of_range);
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
  EXPECT_EQ(info.FileCount() + info.FolderCount(), 2);
  EXPECT_EQ(info.FindFile("x")->Size.GetValue(), 1);

  info.Clear();  // empties the lists and their indexes
  EXPECT_EQ(info.FileCount() + info.FolderCount(), 0);
  EXPECT_EQ(info.FindFile("x"), nullptr);
  EXPECT_EQ(info.FindFolder("d"), nullptr);
}

TEST(TimeInfoTest, ItemsStayFindableAcrossManyAdditions) {
  // The index keys view the items' names; growing the lists must not move them.
  TTimeInfo info;
  for (int i = 0; i < 5000; ++i) info.AddFile("file" + std::to_string(i)).SetInfo(i, i);
  for (int i = 0; i < 5000; i += 499)
    EXPECT_EQ(info.FindFile("file" + std::to_string(i))->Size.GetValue(), i);
}

}  // namespace
}  // namespace ravelo
