#include "model/time_info.h"

#include <gtest/gtest.h>

#include <string>

namespace ravelo {
namespace {

// Files and folders are two lists in addition order, found by their exact
// names; a second item of a name is refused and the first kept.
TEST(TimeInfoTest, ExactNamesInTheirOwnListAndNoDuplicates) {
  TTimeInfo info;
  info.AddFile("A.TXT").SetInfo(10, 45000.5);
  info.AddFile("a.txt");
  info.AddFolder("docs");
  info.AddFolder("A.TXT");  // a file and a folder may share a name
  EXPECT_EQ(info.FindFile("a.txt"), &info.FileAt(1));
  EXPECT_EQ(info.FindFile("A.txt"), nullptr);
  EXPECT_EQ(info.FindFolder("DOCS"), nullptr);
  EXPECT_EQ(info.FindFile("docs"), nullptr);
  EXPECT_EQ(info.FindFolder("A.TXT"), &info.FolderAt(1));
  EXPECT_FALSE(info.FileAt(1).Time.Defined());
  EXPECT_THROW(info.FileAt(2), std::out_of_range);
  EXPECT_THROW(info.FolderAt(-1), std::out_of_range);
  try {
    info.AddFile("A.TXT");
    FAIL() << "a duplicate file was added";
  } catch (const EItemAlreadyExists& error) {
    EXPECT_STREQ(error.what(), "TimeInfo Item With The Name \"A.TXT\" Already Exists");
  }
  EXPECT_THROW(info.AddFolder("docs"), ETimeInfo);
  EXPECT_EQ(info.FileCount() + info.FolderCount(), 4);
  EXPECT_EQ(info.FindFile("A.TXT")->Size.GetValue(), 10);

  info.Clear();  // empties the lists and their indexes
  EXPECT_EQ(info.FileCount() + info.FolderCount(), 0);
  EXPECT_EQ(info.FindFile("a.txt"), nullptr);
  EXPECT_EQ(info.FindFolder("docs"), nullptr);
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
