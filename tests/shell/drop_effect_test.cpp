#include "shell/drop_effect.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "shell/file_system.h"
#include "shell/files_drop_state.h"
#include "support/temp_dir.h"

namespace ravelo::test {
namespace {

TEST(DropEffectTest, EffectFromKeysButtonsAndFileSystem) {
  const int left = kLeftButton, right = kRightButton;
  const struct {
    bool files;
    int keys;
    int allowed;
    bool same;
    TDropEffect effect;
  } cases[] = {
      {false, left, kCopyOrMove, true, deNone},
      {true, left, kCopyOrMove, true, deMove},
      {true, left, kCopyOrMove, false, deCopy},
      {true, right, kCopyOrMove, true, deMove},
      {true, left | kControlKey, kCopyOrMove, true, deCopy},
      {true, left | kControlKey, deMove, true, deNone},
      {true, left | kShiftKey, kCopyOrMove, false, deMove},
      {true, left | kShiftKey, deCopy, true, deNone},
      {true, left | kShiftKey | kControlKey, deMove, true, deNone},  // control wins
      {true, left, deCopy, true, deCopy},
      {true, left, deMove, false, deMove},
      {true, left, deNone, true, deNone},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ChooseEffect(c.files, c.keys, c.allowed, c.same), c.effect)
        << c.keys << " " << c.allowed << " " << c.same;
}

TEST(DropEffectTest, ContinueCancelOrDrop) {
  EXPECT_EQ(QueryContinueDrag(false, kLeftButton), daContinue);
  EXPECT_EQ(QueryContinueDrag(false, kLeftButton | kControlKey), daContinue);
  EXPECT_EQ(QueryContinueDrag(true, kLeftButton), daCancel);
  EXPECT_EQ(QueryContinueDrag(false, kLeftButton | kRightButton), daCancel);
  EXPECT_EQ(QueryContinueDrag(false, 0), daDrop);
  EXPECT_EQ(QueryContinueDrag(false, kShiftKey), daDrop);
}

TEST(DropEffectTest, FileSystemOfThePathOrItsNearestAncestor) {
  TTempDir dir;
  struct stat here {
  }, shm{};
  ASSERT_EQ(::stat(dir.PathString().c_str(), &here), 0);
  EXPECT_EQ(FileSystemOf(dir.PathString() + "/not/yet/there"), here.st_dev);
  const std::string file = dir.CreateFile("a.txt").string();
  EXPECT_TRUE(AllOnFileSystemOf({file, dir.PathString() + "/gone"}, dir.PathString() + "/new"));
  EXPECT_FALSE(AllOnFileSystemOf({}, dir.PathString()));

  TFilesDropState state(dir.PathString());
  EXPECT_EQ(state.DragEnter({file}, kLeftButton, kCopyOrMove), deMove);
  EXPECT_FALSE(state.IsCopy());
  EXPECT_EQ(state.DragOver(kLeftButton | kControlKey, kCopyOrMove), deCopy);
  EXPECT_EQ(state.DragOver(kLeftButton | kShiftKey, deCopy), deNone);
  EXPECT_TRUE(state.IsCopy());  // none keeps the last effect
  state.DragLeave();
  EXPECT_TRUE(state.Files().empty());
  EXPECT_EQ(state.DragOver(kLeftButton, kCopyOrMove), deNone);
  if (::stat("/dev/shm", &shm) != 0 || shm.st_dev == here.st_dev)
    GTEST_SKIP() << "no second file system";
  // A link is where it lies, not where it points.
  ASSERT_EQ(::symlink("/dev/shm", (dir / "link").c_str()), 0);
  EXPECT_EQ(FileSystemOf((dir / "link").string()), here.st_dev);
  EXPECT_FALSE(AllOnFileSystemOf({file, "/dev/shm"}, dir.PathString()));
  // The destination folder is followed: entries made in it go to /dev/shm.
  EXPECT_TRUE(AllOnFileSystemOf({"/dev/shm"}, (dir / "link").string()));

  EXPECT_EQ(state.DragEnter({file, "/dev/shm"}, kLeftButton, kCopyOrMove), deCopy);
}

}  // namespace
}  // namespace ravelo::test
