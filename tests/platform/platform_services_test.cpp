// The launcher and the file time conversion.

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/file_time.h"
#include "platform/launcher.h"
#include "support/temp_dir.h"

namespace ravelo::test {
namespace {

TEST(FileTimeTest, ConvertsToLocalDaysWithFullPrecision) {
  const char* old_tz = std::getenv("TZ");
  const std::string saved = old_tz != nullptr ? old_tz : "";
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  EXPECT_EQ(FileTimeToDateTime({86400 + 43200, 0}), 25570.5);
  ::setenv("TZ", "CET-1", 1);  // one hour east, no summer time
  ::tzset();
  EXPECT_DOUBLE_EQ(FileTimeToDateTime({0, 0}), 25569.0 + 1.0 / 24);
  const double early = FileTimeToDateTime({1700000000, 100000000});
  const double late = FileTimeToDateTime({1700000000, 900000000});
  EXPECT_NEAR((late - early) * 86400, 0.8, 1e-5);
  old_tz != nullptr ? ::setenv("TZ", saved.c_str(), 1) : ::unsetenv("TZ");
  ::tzset();
}

TEST(LauncherTest, PassesTheFileNameWholeWithoutAShell) {
  TTempDir dir;
  const auto script =
      dir.CreateFile("open with.sh", "#!/bin/sh\nprintf '%s' \"$1\" > \"$0.out\"\n");
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  const std::string name = (dir / "it's a \"file\"; touch pwned $(id).txt").string();

  TSpawnLauncher launcher;
  ASSERT_TRUE(launcher.Launch({script.string(), name}));
  std::string written;
  for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
       written != name && std::chrono::steady_clock::now() < deadline;
       std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
    std::ifstream in(script.string() + ".out");
    std::getline(in, written);
  }
  EXPECT_EQ(written, name);
  EXPECT_FALSE(dir.Exists("pwned"));
  EXPECT_FALSE(launcher.Launch({(dir / "no such program").string(), name}));
}

TEST(LauncherTest, TheProgramBlocksNoSignalWhateverTheLaunchingThreadBlocks) {
  TTempDir dir;
  const std::string copy = (dir / "status").string();
  sigset_t blocked;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGINT);
  pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
  // cp reads its own status: /proc/self is the launched program.
  const bool launched = TSpawnLauncher().Launch({"cp", "/proc/self/status", copy});
  pthread_sigmask(SIG_UNBLOCK, &blocked, nullptr);
  ASSERT_TRUE(launched);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  std::string mask;
  while (mask.empty() && std::chrono::steady_clock::now() < deadline) {
    std::ifstream in(copy);
    for (std::string line; std::getline(in, line) && !in.eof();) {
      if (line.starts_with("SigBlk:")) mask = line;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(mask, "SigBlk:\t0000000000000000");
}

}  // namespace
}  // namespace ravelo::test
