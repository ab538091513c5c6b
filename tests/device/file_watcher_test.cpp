#include "device/file_watcher.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "device_test_fixture.h"

namespace ravelo::test {
namespace {

using FileWatcherTest = TDeviceTest;

TEST_F(FileWatcherTest, AnEditorSaveIsSeenOnceAndMerged) {
  CreateFile("docs/page.html", "old", 1700000000);
  docs.MarkLocalPresent();
  TSynFile& page = SyncedFile(docs, "page.html", 1700000000, 3);
  ASSERT_EQ(page.GetState(), nsSynchronized);

  // Written beside, then renamed over the old file.
  dir.CreateFile("docs/.page.html.swp", "new text");
  std::filesystem::rename(dir / "docs/.page.html.swp", dir / "docs/page.html");
  ASSERT_TRUE(ReportedAndQuiet());
  EXPECT_EQ(Files().Reports(), 1);
  EXPECT_EQ(page.GetState(), nsFresh);
  EXPECT_EQ(page.LocalSize(), 8);
  EXPECT_EQ(docs.ChildCount(), 1);  // the editor's file came and went between two listings
}

TEST_F(FileWatcherTest, ChangesWaitUntilTheFolderOperationsEnd) {
  dir.CreateDir("docs");
  docs.MarkLocalPresent();
  TGate gate;
  server->on_call = [&](const std::string& event) {
    if (event == "exists docs") gate.Wait();
  };
  docs.Open();
  ASSERT_TRUE(loop.RunUntil([&] { return docs.IsInProcess(); }));
  dir.CreateFile("docs/new.txt", "x");
  dir.CreateFile("docs/other.txt", "y");
  ASSERT_TRUE(loop.RunUntil([&] { return Files().HoldBacks() > 0; }));
  EXPECT_EQ(Files().Reports(), 0);

  gate.Open();
  ASSERT_TRUE(WaitForWaiters(loop));
  ASSERT_TRUE(ReportedAndQuiet());
  EXPECT_EQ(Files().Reports(), 1);
}

TEST_F(FileWatcherTest, AFileOpenForWritingWaitsUntilClosedAndQuiet) {
  dir.CreateDir("docs");
  const int fd = ::open((dir / "docs/big.bin").c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  docs.MarkLocalPresent();  // the write is its first event
  ASSERT_EQ(::write(fd, "half", 4), 4);
  ASSERT_TRUE(loop.RunUntil([&] { return Files().HoldBacks() > 0; }));
  EXPECT_EQ(Files().Reports(), 0);
  EXPECT_EQ(docs.ChildCount(), 0);

  ASSERT_EQ(::write(fd, "full", 4), 4);
  ::close(fd);
  ASSERT_TRUE(ReportedAndQuiet());
  EXPECT_EQ(Files().Reports(), 1);
  EXPECT_EQ(dynamic_cast<TSynFile&>(*docs.FindChild("big.bin")).LocalSize(), 8);
}

TEST_F(FileWatcherTest, TwoHundredFoldersAreAllWatched) {
  constexpr int kFolders = 200;
  for (int i = 0; i < kFolders; ++i) dir.CreateDir("f" + std::to_string(i));
  root->MarkLocalPresent();
  root->MergeLocalListing(*device->ListLocal(*root));
  EXPECT_EQ(Files().WatchCount(), kFolders + 1);  // and the root

  dir.CreateFile("f0/a.txt");
  dir.CreateFile("f199/a.txt");
  ASSERT_TRUE(loop.RunUntil([&] {
    auto* first = dynamic_cast<TSynFolder*>(root->FindChild("f0"));
    auto* last = dynamic_cast<TSynFolder*>(root->FindChild("f199"));
    return first->FindChild("a.txt") != nullptr && last->FindChild("a.txt") != nullptr;
  }));
  EXPECT_EQ(watcher->log.Size(), 0);
}

class WatchLimitTest : public TDeviceTest {
 protected:
  WatchLimitTest() : TDeviceTest(TWatchOptions{.max_watches = 3}) {}
};

TEST_F(WatchLimitTest, FoldersPastTheLimitAreReportedAndTheOthersStayWatched) {
  for (const char* name : {"a", "b", "c", "d", "e"}) dir.CreateDir(name);
  root->MarkLocalPresent();
  root->MergeLocalListing(*device->ListLocal(*root));
  ASSERT_TRUE(loop.RunUntil([&] { return watcher->log.Size() == 3; }));
  for (const std::string& event : watcher->log.Events()) {
    EXPECT_TRUE(event.starts_with("watch failed: Can't Watch Folder '" + dir.PathString() + "/"))
        << event;
    EXPECT_TRUE(event.ends_with("': Watch Limit Reached")) << event;
  }
  EXPECT_EQ(Files().WatchCount(), 3);

  TSynFolder* watched = nullptr;
  for (const char* name : {"a", "b", "c", "d", "e"})
    if (Files().HasWatch(*root->FindChild(name)))
      watched = dynamic_cast<TSynFolder*>(root->FindChild(name));
  ASSERT_NE(watched, nullptr);
  dir.CreateFile(watched->Name() + "/x.txt");
  dir.CreateFile("y.txt");
  ASSERT_TRUE(loop.RunUntil([&] {
    return watched->FindChild("x.txt") != nullptr && root->FindChild("y.txt") != nullptr;
  }));
}

// A build tool's "clean, build, emit": the folder goes and comes back with
// its files written at once, either before the watcher saw it gone or after
// the parent's listing had marked it absent.
TEST_F(FileWatcherTest, AFolderRemovedAndMadeAgainIsWatchedAndListedAgain) {
  dir.CreateDir("docs");
  docs.MarkRemotePresent();
  docs.MarkLocalPresent();
  docs.MergeLocalListing(*device->ListLocal(docs));
  std::filesystem::remove(dir / "docs");
  dir.CreateDir("docs");
  ASSERT_TRUE(ReportedAndQuiet());
  EXPECT_TRUE(Files().HasWatch(docs));
  dir.CreateFile("docs/new.txt");
  ASSERT_TRUE(loop.RunUntil([&] { return docs.FindChild("new.txt") != nullptr; }));

  std::filesystem::remove_all(dir / "docs");
  ASSERT_TRUE(loop.RunUntil([&] { return docs.LocalPresence() == prAbsent; }));
  dir.CreateDir("docs");
  dir.CreateFile("docs/app.js", "built");
  dir.CreateFile("docs/new.txt", "built");
  ASSERT_TRUE(loop.RunUntil([&] {
    auto* app = dynamic_cast<TSynFile*>(docs.FindChild("app.js"));
    auto* again = dynamic_cast<TSynFile*>(docs.FindChild("new.txt"));
    return app != nullptr && again != nullptr && again->LocalPresence() == prPresent;
  }));
  EXPECT_TRUE(Files().HasWatch(docs));
}

TEST_F(FileWatcherTest, DestroyingTheDeviceServesAPendingHandOver) {
  dir.CreateDir("docs");
  docs.MarkLocalPresent();
  dir.CreateFile("docs/a.txt");
  // Waits without serving the main thread, so the hand-over stays pending.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!Files().IsHandingOver() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(Files().IsHandingOver());
  device.reset();
  EXPECT_EQ(docs.FindChild("a.txt"), nullptr);  // a stopping watcher hands nothing on
}

}  // namespace
}  // namespace ravelo::test
