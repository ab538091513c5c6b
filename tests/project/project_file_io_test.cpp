#include "project/project_file_io.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "support/temp_dir.h"

namespace ravelo {
namespace {

class TReplacementFileTest : public ::testing::Test {
 protected:
  void Replace(const std::filesystem::path& file, std::string_view bytes) {
    TReplacementFile replacement(file.string());
    replacement.Commit(bytes);
  }

  test::TTempDir dir;
  const std::filesystem::path target = dir / "site.rvlp";
  const std::filesystem::path temp = dir / "site.rvlp.new";
};

TEST_F(TReplacementFileTest, RenamesAFreshOwnersOnlyFileOverTheOldNeverWritingOrDeletingIt) {
  dir.CreateFile("site.rvlp", "old");
  std::filesystem::permissions(target, std::filesystem::perms(0644));
  // A ".new" left behind, planted as a link: replaced, not followed.
  dir.CreateFile("elsewhere", "keep");
  std::filesystem::create_symlink(dir / "elsewhere", temp);
  const int events = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(::inotify_add_watch(events, dir.Path().c_str(), IN_ALL_EVENTS), 0);
  const mode_t old_umask = ::umask(0);  // the widest a user could set
  Replace(target, "new");
  ::umask(old_umask);
  // The events are queued as the calls are made: the target's name saw one
  // rename, no delete and no write.
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
  EXPECT_EQ(std::filesystem::status(target).permissions(), std::filesystem::perms(0600));
  EXPECT_EQ(dir.ReadFile("elsewhere"), "keep");
  EXPECT_FALSE(std::filesystem::exists(temp));
}

TEST_F(TReplacementFileTest, AFailureLeavesTheOldFileAndNoNewFile) {
  dir.CreateFile("site.rvlp", "old");
  { TReplacementFile uncommitted(target.string()); }
  EXPECT_FALSE(std::filesystem::exists(temp));
  // The rename fails: a folder stands at the target's name.
  dir.CreateFile("folder.rvlp/inside");
  EXPECT_THROW(Replace(dir / "folder.rvlp", "new"), std::system_error);
  EXPECT_FALSE(std::filesystem::exists(dir / "folder.rvlp.new"));
  // The ".new" file cannot be made: a folder no unlink removes is there.
  dir.CreateFile("site.rvlp.new/inside");
  EXPECT_THROW(TReplacementFile(target.string()), std::system_error);
  EXPECT_EQ(dir.ReadFile("site.rvlp"), "old");
}

}  // namespace
}  // namespace ravelo
