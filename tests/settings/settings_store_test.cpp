#include "settings/settings_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "settings/settings_error.h"
#include "settings/settings_format.h"
#include "support/temp_dir.h"

namespace ravelo {
namespace {

using ::testing::MatchesRegex;

// Points XDG_CONFIG_HOME at a temporary folder for one test.
class TSettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) old_ = old;
    ::setenv("XDG_CONFIG_HOME", dir_.PathString().c_str(), 1);
  }
  void TearDown() override {
    old_ ? ::setenv("XDG_CONFIG_HOME", old_->c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
  }
  // The settings folder holds the settings file and nothing else.
  void ExpectOnlyTheFile() const {
    auto entries = std::filesystem::directory_iterator(dir_ / "ravelo");
    std::vector<std::string> names;
    for (const auto& entry : entries) names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"settings"});
  }

  test::TTempDir dir_;
  std::optional<std::string> old_;
};

// Runs body in a child process, whose exit status is body's answer (2 when
// it throws).
template <typename Body>
pid_t Fork(Body body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    int status = 2;
    try {
      status = body();
    } catch (...) {
    }
    ::_exit(status);
  }
  return pid;
}
int ExitStatus(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

TEST_F(TSettingsStoreTest, TheCurrentUsersFileLiesUnderXdgConfigHome) {
  EXPECT_EQ(CurrentUserSettingsFile(), dir_.Path() / "ravelo" / "settings");
  ::setenv("XDG_CONFIG_HOME", "relative/path", 1);  // not absolute: ignored
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') {
    EXPECT_EQ(CurrentUserSettingsFile(), std::filesystem::path(home) / ".config/ravelo/settings");
  }
}

TEST_F(TSettingsStoreTest, ChangesReachTheFileAndAnotherStoreReadsThem) {
  auto store = TSettingsStore::CurrentUser();
  EXPECT_FALSE(store.KeyExists("\\Software\\Ravelo"));
  EXPECT_FALSE(dir_.Exists("ravelo/settings"));  // reading creates nothing
  ASSERT_TRUE(store.OpenOrCreateKey("\\Software\\Ravelo"));
  store.WriteBool("\\Software\\Ravelo", "Project Panel", true);
  const std::string projects = "/home/me/site\n/home/me/[a=b]\n/home/\xC3\xA4\n";
  store.WriteString("\\Software\\Ravelo\\Projects", "", projects);
  store.WriteByte("\\Software\\Ravelo\\Extensions\\TXT", "TransferType", 0);
  for (const char* name : {"php", "Zip", "a"}) {
    store.OpenOrCreateKey(std::string("\\Software\\Ravelo\\Extensions\\") + name);
  }

  auto other = TSettingsStore::CurrentUser();
  EXPECT_TRUE(other.ReadBool("\\Software\\Ravelo", "Project Panel"));
  EXPECT_EQ(other.ReadString("\\Software\\Ravelo\\Projects", ""), projects);
  EXPECT_EQ(other.ReadByte("\\Software\\Ravelo\\Extensions\\TXT", "TransferType"), 0);
  EXPECT_EQ(other.GetKeyNames("\\Software\\Ravelo\\Extensions"),
            (std::vector<std::string>{"TXT", "php", "Zip", "a"}));
  EXPECT_THROW(other.ReadBool("\\Software\\Ravelo", "Missing"), ESettingsValueNotFound);

  // The first store sees the second one's change without being told.
  other.WriteBool("\\Software\\Ravelo", "Project Panel", false);
  EXPECT_FALSE(store.ReadBool("\\Software\\Ravelo", "Project Panel"));
  EXPECT_TRUE(other.DeleteKey("\\Software\\Ravelo\\Extensions"));
  EXPECT_FALSE(store.KeyExists("\\Software\\Ravelo\\Extensions\\TXT"));
  EXPECT_EQ(store.ReadString("\\Software\\Ravelo\\Projects", ""), projects);
  ExpectOnlyTheFile();
}

TEST_F(TSettingsStoreTest, AStrayTemporaryFileIsIgnoredAndCleanedUp) {
  auto store = TSettingsStore::CurrentUser();
  store.WriteString("\\A", "v", "complete");
  // What a writer killed between creating and renaming its file leaves.
  dir_.CreateFile("ravelo/settings.tmp-Ab12Cd", "[A]\n\"v\" = string \"half wri");
  auto reader = TSettingsStore::CurrentUser();
  EXPECT_EQ(reader.ReadString("\\A", "v"), "complete");
  reader.WriteString("\\A", "w", "next");
  ExpectOnlyTheFile();
  EXPECT_EQ(TSettingsStore::CurrentUser().ReadString("\\A", "v"), "complete");

  // The same through a bare file name in the working folder.
  dir_.CreateFile("ravelo/settings.tmp-Ef34Gh", "stray");
  const auto folder = dir_ / "ravelo";
  EXPECT_EQ(ExitStatus(Fork([&] {
              if (::chdir(folder.c_str()) != 0) return 3;
              TSettingsStore("settings").WriteString("\\A", "x", "relative");
              return 0;
            })),
            0);
  ExpectOnlyTheFile();
  EXPECT_EQ(TSettingsStore::CurrentUser().ReadString("\\A", "x"), "relative");
}

TEST_F(TSettingsStoreTest, ADamagedFileIsReportedThenMovedAsideBeforeTheNextWrite) {
  const std::string damaged = "[Software\\Ravelo]\n\"Project Panel\" = bool 1\n\"x\" = oops\n";
  dir_.CreateFile("ravelo/settings", damaged);
  const auto file = (dir_ / "ravelo/settings").string();
  auto store = TSettingsStore::CurrentUser();
  try {
    store.KeyExists("\\Software\\Ravelo");
    FAIL() << "no error";
  } catch (const ESettingsDamaged& e) {
    EXPECT_EQ(e.FileName(), file);
    EXPECT_EQ(e.Line(), 3u);
    EXPECT_EQ(std::string(e.what()),
              "Settings File '" + file + "' Is Damaged In Line 3: Unknown Kind 'oops'");
  }
  // Reported once: the root now counts as empty and the file is untouched.
  EXPECT_FALSE(store.KeyExists("\\Software\\Ravelo"));
  EXPECT_EQ(dir_.ReadFile("ravelo/settings"), damaged);

  store.WriteBool("\\Software\\Ravelo", "Project Panel", false);
  const auto copy = store.LastDamagedCopy();
  ASSERT_FALSE(copy.empty());
  EXPECT_EQ(copy.parent_path(), dir_.Path() / "ravelo");
  EXPECT_THAT(copy.filename().string(), MatchesRegex("settings\\.damaged-[0-9]{8}-[0-9]{6}"));
  EXPECT_EQ(dir_.ReadFile("ravelo/" + copy.filename().string()), damaged);
  EXPECT_FALSE(TSettingsStore::CurrentUser().ReadBool("\\Software\\Ravelo", "Project Panel"));

  // Damaged again within the same second: the earlier copy is not replaced.
  dir_.CreateFile("ravelo/settings", "second damage\n");
  auto again = TSettingsStore::CurrentUser();
  EXPECT_THROW(again.ReadBool("\\Software\\Ravelo", "Project Panel"), ESettingsDamaged);
  again.WriteBool("\\Software\\Ravelo", "Project Panel", true);
  EXPECT_EQ(dir_.ReadFile("ravelo/" + copy.filename().string()), damaged);
  EXPECT_EQ(dir_.ReadFile("ravelo/" + again.LastDamagedCopy().filename().string()),
            "second damage\n");
}

// A write that fails, whether the changes are refused, the disk is full
// (a file size limit in a child process) or the folder cannot be made,
// raises and leaves the old file whole, with no temporary beside it.
TEST_F(TSettingsStoreTest, AFailedWriteLeavesTheOldFileAndNoTemporary) {
  auto store = TSettingsStore::CurrentUser();
  store.WriteString("\\A", "v", "old");
  const std::string before = dir_.ReadFile("ravelo/settings");
  EXPECT_THROW(store.Update([](TSettingsTree& tree) {
    tree.WriteString("\\A", "v", "new");
    tree.WriteBool("\\A\\\\B", "x", true);  // invalid path: raises
    return true;
  }),
               ESettingsInvalidKey);
  EXPECT_EQ(store.ReadString("\\A", "v"), "old");
  EXPECT_EQ(ExitStatus(Fork([&] {
              ::signal(SIGXFSZ, SIG_IGN);
              const rlimit limit{64, 64};
              ::setrlimit(RLIMIT_FSIZE, &limit);
              try {
                TSettingsStore::CurrentUser().WriteString("\\A", "v", std::string(4096, 'x'));
              } catch (const ESettingsFileError& e) {
                return std::string(e.what()).find("Can't Write Settings File") == 0 ? 0 : 3;
              }
              return 4;
            })),
            0);
  EXPECT_EQ(dir_.ReadFile("ravelo/settings"), before);
  ExpectOnlyTheFile();

  std::filesystem::remove_all(dir_ / "ravelo");
  dir_.CreateFile("ravelo", "a file where the folder should be");
  EXPECT_THROW(TSettingsStore::CurrentUser().WriteBool("\\A", "b", true), ESettingsFileError);
  EXPECT_EQ(dir_.ReadFile("ravelo"), "a file where the folder should be");
}

TEST_F(TSettingsStoreTest, ConcurrentWritersLoseNothingAndLeaveOneCompleteFile) {
  TSettingsStore::CurrentUser().WriteString("\\Shared", "start", "yes");
  constexpr int kWriters = 4;
  constexpr int kWrites = 25;
  std::vector<pid_t> children;
  for (int w = 0; w < kWriters; ++w) {
    children.push_back(Fork([w] {
      auto store = TSettingsStore::CurrentUser();
      for (int i = 0; i < kWrites; ++i)
        store.WriteString("\\Shared\\Writer" + std::to_string(w), "v" + std::to_string(i),
                          std::string(200, static_cast<char>('a' + w)));
      return 0;
    }));
  }
  for (const pid_t pid : children) EXPECT_EQ(ExitStatus(pid), 0);
  const auto tree = ParseSettings(dir_.ReadFile("ravelo/settings"), "settings");
  EXPECT_EQ(tree.GetKeyNames("\\Shared").size(), static_cast<std::size_t>(kWriters));
  for (int w = 0; w < kWriters; ++w)
    EXPECT_EQ(tree.GetValueNames("\\Shared\\Writer" + std::to_string(w)).size(),
              static_cast<std::size_t>(kWrites));
  EXPECT_EQ(tree.ReadString("\\Shared", "start"), "yes");
  ExpectOnlyTheFile();
}

TEST_F(TSettingsStoreTest, ASymbolicLinkToTheFileIsKept) {
  dir_.CreateFile("dotfiles/ravelo-settings", "[A]\n");
  dir_.CreateDir("ravelo");
  std::filesystem::create_symlink(dir_ / "dotfiles/ravelo-settings", dir_ / "ravelo/settings");
  auto store = TSettingsStore::CurrentUser();
  store.WriteBool("\\A", "b", true);
  EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "ravelo/settings"));
  EXPECT_TRUE(ParseSettings(dir_.ReadFile("dotfiles/ravelo-settings"), "x").ReadBool("\\A", "b"));
}

}  // namespace
}  // namespace ravelo
