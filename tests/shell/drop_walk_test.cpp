#include "shell/drop_walk.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "shell/drop_feedback_recorder.h"
#include "support/temp_dir.h"

namespace ravelo::test {
namespace {

namespace fs = std::filesystem;

struct stat Status(const fs::path& path) {
  struct stat status {};
  EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
  return status;
}

void SetTime(const fs::path& path, std::time_t seconds, long nanoseconds) {
  const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

// Names in a folder, partial copies included.
std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class DropWalkTest : public ::testing::Test {
 protected:
  TDropOutcome Drop(std::vector<std::string> files, const fs::path& destination, bool copy) {
    TDropWalk walk({std::move(files), destination.string(), copy}, feedback);
    current = &walk;
    const TDropOutcome outcome = walk.Run();
    current = nullptr;
    return outcome;
  }
  std::string In(const char* relative) const { return (dir / relative).string(); }

  TTempDir dir;
  TDropFeedbackRecorder feedback;
  TDropWalk* current = nullptr;  // the walk running, for the recorder to cancel
};

TEST_F(DropWalkTest, CopiesATreeKeepingTimesAndPermissionsAndLinks) {
  const auto a = dir.CreateFile("src/tree/a.txt", "alpha");
  dir.CreateFile("src/tree/sub/b.txt", "bb");
  dir.CreateFile("outside/secret.txt", "not to be copied");
  ASSERT_EQ(::chmod(a.c_str(), 0751), 0);
  SetTime(a, 1700000000, 123456789);
  ASSERT_EQ(::symlink("../../outside", In("src/tree/sub/out").c_str()), 0);
  ASSERT_EQ(::mkfifo(In("src/tree/pipe").c_str(), 0600), 0);
  ASSERT_EQ(::chmod(In("src/tree/sub").c_str(), 0750), 0);
  SetTime(dir / "src/tree/sub", 1600000000, 5);

  const TDropOutcome outcome = Drop({In("src/tree")}, dir / "site/new", true);
  EXPECT_EQ(outcome.Result, drDone) << outcome.Message;
  EXPECT_EQ(outcome.Skipped, std::vector<std::string>{In("src/tree/pipe")});
  EXPECT_EQ(dir.ReadFile("site/new/tree/a.txt"), "alpha");
  EXPECT_EQ(dir.ReadFile("site/new/tree/sub/b.txt"), "bb");
  const struct stat file = Status(dir / "site/new/tree/a.txt");
  const struct stat sub = Status(dir / "site/new/tree/sub");
  EXPECT_EQ(std::make_tuple(file.st_mode & 07777, file.st_mtim.tv_sec, file.st_mtim.tv_nsec),
            std::make_tuple(0751u, 1700000000L, 123456789L));
  EXPECT_EQ(std::make_tuple(sub.st_mode & 07777, sub.st_mtim.tv_sec),
            std::make_tuple(0750u, 1600000000L));
  EXPECT_EQ(fs::read_symlink(dir / "site/new/tree/sub/out"), "../../outside");  // not followed
  EXPECT_EQ(Names(dir / "site/new/tree"), (std::vector<std::string>{"a.txt", "sub"}));
  EXPECT_TRUE(dir.Exists("src/tree/a.txt"));
  EXPECT_EQ(feedback.Lines("Start"), std::vector<std::string>{"Start Copying... 7"});
  EXPECT_EQ(feedback.Lines("Advance"),
            (std::vector<std::string>{"Advance 5", "Advance 2", "Advance 0"}));
  EXPECT_EQ(feedback.Log.back(), "Finish");
}

TEST_F(DropWalkTest, EachReplaceAnswer) {
  const struct {
    std::deque<TReplaceAnswer> answers;
    std::string contents;  // of x, y, z afterwards
    int asked;
    int advanced;  // a file left counts as done too
    TDropResult result;
  } cases[] = {
      {{raReplace, raReplace, raReplace}, "XYZ", 3, 3, drDone},
      {{raReplace, raReplaceAll}, "XYZ", 2, 3, drDone},
      {{raLeave, raReplace, raLeave}, "xYz", 3, 3, drDone},
      {{raReplace, raCancel}, "Xyz", 2, 1, drCancelled},
  };
  for (const auto& c : cases) {
    TTempDir place;
    std::vector<std::string> files;
    for (const char* name : {"x", "y", "z"}) {
      place.CreateFile(std::string("site/") + name, name);
      std::string upper(name);
      upper[0] = static_cast<char>(std::toupper(upper[0]));
      files.push_back(place.CreateFile(std::string("drop/") + name, upper + "12").string());
    }
    feedback = {};
    feedback.Answers = c.answers;
    const TDropOutcome outcome = Drop(files, place / "site", true);
    EXPECT_EQ(outcome.Result, c.result);
    EXPECT_TRUE(outcome.Message.empty()) << outcome.Message;
    std::string contents;
    for (const char* name : {"x", "y", "z"})
      contents += place.ReadFile(std::string("site/") + name)[0];
    EXPECT_EQ(contents, c.contents);
    EXPECT_EQ(feedback.Lines("Ask").size(), static_cast<std::size_t>(c.asked));
    EXPECT_EQ(feedback.Lines("Advance " + std::to_string(3)).size(),
              static_cast<std::size_t>(c.advanced));
    EXPECT_EQ(Names(place / "site"), (std::vector<std::string>{"x", "y", "z"}));
  }
}

bool SecondFileSystem(const fs::path& here) {
  struct stat shm {};
  return ::stat("/dev/shm", &shm) == 0 && shm.st_dev != Status(here).st_dev;
}

TEST_F(DropWalkTest, CancelInTheMiddleLeavesNoPartialFile) {
  // A move is a copy only from another file system.
  const fs::path away = fs::path("/dev/shm") / ("ravelo-" + dir.Path().filename().string());
  for (const bool copy : {true, false}) {
    if (!copy && !SecondFileSystem(dir.Path())) break;
    TTempDir place;
    const fs::path big = (copy ? place.Path() : away) / "big.bin";
    fs::create_directories(big.parent_path());
    { std::ofstream(big) << std::string(3 << 20, 'b'); }
    place.CreateFile("site/big.bin", "old");
    feedback = {};
    feedback.Answers = {raReplace};
    feedback.OnRecord = [&](const std::string& line) {
      if (line.starts_with("Advance")) current->Cancel();
    };
    const TDropOutcome outcome = Drop({big.string()}, place / "site", copy);
    EXPECT_EQ(outcome.Result, drCancelled);
    EXPECT_EQ(place.ReadFile("site/big.bin"), "old");
    EXPECT_EQ(Names(place / "site"), std::vector<std::string>{"big.bin"});
    EXPECT_TRUE(fs::exists(big));
  }
  fs::remove_all(away);
}

TEST_F(DropWalkTest, AFolderNeverGoesIntoItself) {
  dir.CreateFile("src/tree/sub/b.txt");
  ASSERT_EQ(::symlink(In("src/tree/sub").c_str(), In("link").c_str()), 0);
  const struct {
    std::string destination;
    bool copy;
  } cases[] = {
      {In("src/tree"), true}, {In("src/tree/sub/new/deeper"), true}, {In("link/new"), false}};
  for (const auto& c : cases) {
    const TDropOutcome outcome = Drop({In("src/tree")}, c.destination, c.copy);
    EXPECT_EQ(outcome.Result, drFailed);
    EXPECT_EQ(outcome.Message, std::string(c.copy ? "Cannot Copy" : "Cannot Move") + " Folder \"" +
                                   In("src/tree") + "\" Into Itself Or One Of Its Subfolders");
  }
  EXPECT_EQ(Names(dir / "src/tree/sub"), std::vector<std::string>{"b.txt"});
  EXPECT_EQ(feedback.Lines("Next").size(), 0u);
}

TEST_F(DropWalkTest, DroppingOntoItsOwnPlaceDoesNothing) {
  dir.CreateFile("site/a.txt", "keep");
  dir.CreateDir("site/sub");
  ASSERT_EQ(::symlink(In("site").c_str(), In("alias").c_str()), 0);
  for (const bool copy : {true, false}) {
    const TDropOutcome outcome =
        Drop({In("site/sub/../a.txt"), In("alias/a.txt"), In("site/sub")}, dir / "alias", copy);
    EXPECT_EQ(outcome.Result, drDone);
  }
  EXPECT_EQ(feedback.Log, (std::vector<std::string>{"Finish", "Finish"}));
  EXPECT_EQ(dir.ReadFile("site/a.txt"), "keep");
}

TEST_F(DropWalkTest, AMoveOnOneFileSystemRenames) {
  dir.CreateFile("drop/tree/a.txt", "a");
  dir.CreateFile("drop/tree/sub/b.txt", "b");
  dir.CreateFile("drop/c.txt", "new c");
  dir.CreateFile("site/c.txt", "old c");
  dir.CreateFile("drop/img/d.png", "d");
  dir.CreateFile("site/img/e.png", "e");
  const ino_t tree = Status(dir / "drop/tree").st_ino;
  feedback.Answers = {raLeave};
  const TDropOutcome outcome =
      Drop({In("drop/tree"), In("drop/c.txt"), In("drop/img")}, dir / "site", false);
  EXPECT_EQ(outcome.Result, drDone) << outcome.Message;
  EXPECT_EQ(Status(dir / "site/tree").st_ino, tree);
  EXPECT_EQ(dir.ReadFile("site/tree/sub/b.txt"), "b");
  EXPECT_EQ(dir.ReadFile("site/c.txt"), "old c");  // left, as answered
  EXPECT_EQ(Names(dir / "site/img"), (std::vector<std::string>{"d.png", "e.png"}));
  EXPECT_EQ(Names(dir / "drop"), std::vector<std::string>{"c.txt"});
  EXPECT_EQ(feedback.Lines("Start").size(), 0u);  // nothing to copy, no progress dialog
  EXPECT_EQ(feedback.Lines("Ask"), std::vector<std::string>{"Ask c.txt"});
}

TEST_F(DropWalkTest, AMoveAcrossFileSystemsCopiesThenDeletes) {
  if (!SecondFileSystem(dir.Path())) GTEST_SKIP() << "no second file system";
  const fs::path source = fs::path("/dev/shm") / dir.Path().filename();
  fs::create_directories(source / "tree/sub");
  { std::ofstream(source / "tree/sub/b.txt") << "bee"; }
  SetTime(source / "tree/sub/b.txt", 1700000000, 7);
  const TDropOutcome outcome = Drop({(source / "tree").string()}, dir / "site", false);
  EXPECT_EQ(outcome.Result, drDone) << outcome.Message;
  EXPECT_EQ(dir.ReadFile("site/tree/sub/b.txt"), "bee");
  EXPECT_EQ(Status(dir / "site/tree/sub/b.txt").st_mtim.tv_nsec, 7);
  EXPECT_EQ(feedback.Lines("Start"), std::vector<std::string>{"Start Moving... 3"});
  EXPECT_FALSE(fs::exists(source / "tree/sub/b.txt"));
  EXPECT_TRUE(fs::is_directory(source / "tree/sub"));  // emptied folders stay
  fs::remove_all(source);
}

TEST_F(DropWalkTest, ReplaceNeverRemovesAFolderAndAnErrorEndsTheDrop) {
  dir.CreateFile("site/x/inside.txt", "kept");
  dir.CreateFile("drop/x", "file named like the folder");
  dir.CreateFile("drop/y", "never reached");
  feedback.Answers = {raReplace};
  const TDropOutcome outcome = Drop({In("drop/x"), In("drop/y")}, dir / "site", true);
  EXPECT_EQ(outcome.Result, drFailed);
  EXPECT_NE(outcome.Message.find(In("site/x")), std::string::npos) << outcome.Message;
  EXPECT_EQ(dir.ReadFile("site/x/inside.txt"), "kept");
  EXPECT_EQ(Names(dir / "site"), std::vector<std::string>{"x"});
}

}  // namespace
}  // namespace ravelo::test
