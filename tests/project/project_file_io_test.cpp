#include "project/project_file_io.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "support/temp_dir.h"

namespace ravelo {
namespace {

mode_t ModeOf(const std::filesystem::path& path) {
  struct stat status {};
  EXPECT_EQ(::stat(path.c_str(), &status), 0);
  return status.st_mode & 07777;
}

class TReplacementFileTest : public ::testing::Test {
 protected:
  void Replace(std::string_view bytes) {
    TReplacementFile file(target.string());
    file.Commit(bytes);
  }

  test::TTempDir dir;
  const std::filesystem::path target = dir / "site.rvlp";
  const std::filesystem::path temp = dir / "site.rvlp.new";
};

TEST_F(TReplacementFileTest, RenamesTheNewFileOverTheOldNeverWritingOrDeletingIt) {
  dir.CreateFile("site.rvlp", "old");
  // A second name of the old file shows whether it was written in place.
  std::filesystem::create_hard_link(target, dir / "old-link");
  const int events = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(events, 0);
  ASSERT_GE(::inotify_add_watch(events, dir.Path().c_str(), IN_ALL_EVENTS), 0);

  Replace("new");

  // The events are queued as the calls are made: the target's name saw one
  // rename and nothing else.
  std::vector<std::uint32_t> target_events;
  alignas(inotify_event) char buffer[4096];
  for (ssize_t count; (count = ::read(events, buffer, sizeof buffer)) > 0;) {
    for (char* p = buffer; p < buffer + count;) {
      const auto* event = reinterpret_cast<const inotify_event*>(p);
      if (event->len > 0 && std::string(event->name) == "site.rvlp")
        target_events.push_back(event->mask);
      p += sizeof(inotify_event) + event->len;
    }
  }
  ::close(events);
  EXPECT_EQ(target_events, std::vector<std::uint32_t>{IN_MOVED_TO});
  EXPECT_EQ(dir.ReadFile("site.rvlp"), "new");
  EXPECT_EQ(dir.ReadFile("old-link"), "old");
  EXPECT_FALSE(std::filesystem::exists(temp));
}

TEST_F(TReplacementFileTest, TheFileIsItsOwnersOnlyWhateverWasThereBefore) {
  dir.CreateFile("site.rvlp", "old");
  dir.CreateFile("site.rvlp.new", "left by a crash");
  std::filesystem::permissions(target, std::filesystem::perms(0644));
  std::filesystem::permissions(temp, std::filesystem::perms(0666));
  const mode_t old_umask = ::umask(0);  // the widest a user could set
  Replace("new");
  ::umask(old_umask);
  EXPECT_EQ(ModeOf(target), 0600u);
  EXPECT_EQ(dir.ReadFile("site.rvlp"), "new");
}

TEST_F(TReplacementFileTest, ALinkAtTheNewNameIsReplacedNotFollowed) {
  dir.CreateFile("elsewhere", "keep");
  std::filesystem::create_symlink(dir / "elsewhere", temp);
  Replace("new");
  EXPECT_EQ(dir.ReadFile("elsewhere"), "keep");
  EXPECT_EQ(dir.ReadFile("site.rvlp"), "new");
}

TEST_F(TReplacementFileTest, AFailureLeavesTheOldFileAndNoNewFile) {
  dir.CreateFile("site.rvlp", "old");
  {
    TReplacementFile file(target.string());
    EXPECT_TRUE(std::filesystem::exists(temp));
    // Not committed (the caller failed before): nothing changes.
  }
  EXPECT_FALSE(std::filesystem::exists(temp));
  // The rename fails: a folder stands at the target's name.
  std::filesystem::create_directory(dir / "folder.rvlp");
  dir.CreateFile("folder.rvlp/inside");
  {
    TReplacementFile file((dir / "folder.rvlp").string());
    EXPECT_THROW(file.Commit("new"), std::system_error);
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "folder.rvlp.new"));
  EXPECT_EQ(dir.ReadFile("site.rvlp"), "old");
}

TEST_F(TReplacementFileTest, ANewFileThatCannotBeMadeIsRaised) {
  dir.CreateFile("site.rvlp", "old");
  dir.CreateFile("site.rvlp.new/inside");  // a folder no unlink removes
  EXPECT_THROW(TReplacementFile(target.string()), std::system_error);
  EXPECT_EQ(dir.ReadFile("site.rvlp"), "old");
}

TEST_F(TReplacementFileTest, ReadingAnswersTheBytesOrTheSystemsError) {
  dir.CreateFile("site.rvlp", std::string("a\0b", 3));
  EXPECT_EQ(ReadProjectFileBytes(target.string()), std::string("a\0b", 3));
  try {
    ReadProjectFileBytes((dir / "none").string());
    ADD_FAILURE();
  } catch (const std::system_error& error) {
    EXPECT_EQ(error.code().value(), ENOENT);
  }
  EXPECT_THROW(ReadProjectFileBytes(dir.PathString()), std::system_error);
}

}  // namespace
}  // namespace ravelo
