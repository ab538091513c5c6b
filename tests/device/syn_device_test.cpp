#include "device/syn_device.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <system_error>

#include "device_test_fixture.h"
#include "model/time_info.h"
#include "sync/sync_errors.h"

namespace ravelo::test {
namespace {

class SynDeviceTest : public TDeviceTest {
 protected:
  std::map<std::string, std::int64_t> Listed(TSynFolder& folder) {
    std::map<std::string, std::int64_t> files;
    const auto listing = device->ListLocal(folder);
    for (int i = 0; i < listing->FileCount(); ++i)
      files[listing->FileAt(i).Name] = listing->FileAt(i).Size.GetValue();
    for (int i = 0; i < listing->FolderCount(); ++i) files[listing->FolderAt(i).Name] = -1;
    return files;
  }
};

TEST_F(SynDeviceTest, LocalInfoOfFilesOnly) {
  TSynFile& file = docs.MakeChild<TSynFile>("big.bin");
  try {
    device->GetLocalInfo(file);
    FAIL() << "no file yet";
  } catch (const EFileNotFound& error) {
    EXPECT_STREQ(error.what(), "File docs\\big.bin Not Found");
    EXPECT_FALSE(error.Remote());
  }
  dir.CreateDir("docs/big.bin");  // a folder is no file
  EXPECT_THROW(device->GetLocalInfo(file), EFileNotFound);
  std::filesystem::remove(dir / "docs/big.bin");

  // Sparse, so the size is past 32 bits without filling the disk.
  const std::int64_t size = std::int64_t{3} << 30;
  const auto path = dir.CreateFile("docs/big.bin");
  ASSERT_EQ(::truncate(path.c_str(), size), 0);
  const timespec times[2] = {{1700000000, 123456789}, {1700000000, 123456789}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  const TLocalFileInfo info = device->GetLocalInfo(file);
  EXPECT_EQ(info.Size, size);
  EXPECT_EQ(info.Time, FileTimeToDateTime(times[1]));
  EXPECT_EQ(Listed(docs).at("big.bin"), size);
  EXPECT_EQ(device->ListLocal(docs)->FindFile("big.bin")->Time.GetValue(), info.Time);
}

TEST_F(SynDeviceTest, ListingsLeaveOutTheProjectFileTemporaryFilesAndBadNames) {
  dir.CreateFile("site.rvlp");
  dir.CreateFile("site.rvlp.new", "password");  // a save's twin left by a crash
  dir.CreateFile("site.rvlp.lock");
  dir.CreateFile("site.rvlp.old", "333");
  dir.CreateFile("docs/site.rvlp");
  dir.CreateFile("docs/Site.rvlp", "12");  // letter case counts
  dir.CreateFile("docs/.ravelo-download-x1y2", "partial");
  dir.CreateFile("docs/back\\slash");
  dir.CreateFile("docs/.hidden", "1");
  dir.CreateDir("docs/sub");
  ASSERT_EQ(::mkfifo((dir / "docs/pipe").c_str(), 0600), 0);
  // Links are left out like pipes: they lead out of the local cache.
  ASSERT_EQ(::symlink("nowhere", (dir / "docs/dangling").c_str()), 0);
  ASSERT_EQ(::symlink("sub", (dir / "docs/linked").c_str()), 0);
  ASSERT_EQ(::symlink(".hidden", (dir / "docs/alias").c_str()), 0);

  EXPECT_EQ(Listed(*root),
            (std::map<std::string, std::int64_t>{{"docs", -1}, {"site.rvlp.old", 3}}));
  EXPECT_EQ(Listed(docs),
            (std::map<std::string, std::int64_t>{{"Site.rvlp", 2}, {".hidden", 1}, {"sub", -1}}));
  TSynFolder& missing = root->MakeChild<TSynFolder>("missing");
  EXPECT_EQ(device->ListLocal(missing)->FileCount(), 0);
  EXPECT_FALSE(device->LocalFolderExists(missing));
  EXPECT_TRUE(device->LocalFolderExists(docs));
  // Nor are they followed on the way to a node, nor deleted in its place.
  TSynFolder& linked = docs.MakeChild<TSynFolder>("linked");
  dir.CreateFile("docs/sub/in.txt", "x");
  EXPECT_FALSE(device->LocalFolderExists(linked));
  EXPECT_EQ(device->ListLocal(linked)->FileCount(), 0);
  TSynFile& through = linked.MakeChild<TSynFile>("in.txt");
  EXPECT_THROW(device->GetLocalInfo(through), EFileNotFound);
  EXPECT_THROW(device->DeleteLocalFile(through), std::system_error);
  TSynFile& alias = docs.MakeChild<TSynFile>("alias");
  EXPECT_THROW(device->GetLocalInfo(alias), EFileNotFound);
  EXPECT_THROW(device->DeleteLocalFile(alias), std::system_error);
  EXPECT_THROW(device->RemoveLocalFolder(linked), std::system_error);
  EXPECT_TRUE(dir.Exists("docs/sub/in.txt"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "docs/alias"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "docs/linked"));
}

TEST_F(SynDeviceTest, DeletesAReadOnlyFileInAReadOnlyFolder) {
  TSynFile& file = docs.MakeChild<TSynFile>("locked.txt");
  const auto path = dir.CreateFile("docs/locked.txt", "x");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  ASSERT_EQ(::chmod((dir / "docs").c_str(), 0555), 0);
  device->DeleteLocalFile(file);
  EXPECT_FALSE(dir.Exists("docs/locked.txt"));
  struct stat status {};
  ASSERT_EQ(::stat((dir / "docs").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0555u);  // the folder is closed again
  ::chmod((dir / "docs").c_str(), 0755);

  try {
    device->DeleteLocalFile(file);
    FAIL() << "the file is gone";
  } catch (const std::system_error& error) {
    EXPECT_EQ(error.code().value(), ENOENT);
  }
}

TEST_F(SynDeviceTest, RemovesOnlyEmptyFoldersAndStopsWatchingThem) {
  dir.CreateFile("docs/a.txt");
  docs.MarkLocalPresent();
  EXPECT_TRUE(device->IsWatched(docs));
  device->SetCurrentFolder(docs);
  try {
    device->RemoveLocalFolder(docs);
    FAIL() << "not empty";
  } catch (const std::system_error& error) {
    EXPECT_STREQ(error.what(), "Directory not empty");
  }
  EXPECT_FALSE(device->IsWatched(docs));
  EXPECT_EQ(&device->CurrentFolder(), root.get());  // moved up at once, and opened
  ASSERT_TRUE(WaitForWaiters(loop));
  EXPECT_EQ(server->log.Count("exists "), 1);
  std::filesystem::remove(dir / "docs/a.txt");
  device->RemoveLocalFolder(docs);
  EXPECT_FALSE(dir.Exists("docs"));

  TSynFolder& sub = docs.MakeChild<TSynFolder>("sub");
  device->SetCurrentFolder(sub);
  root->RemoveChild(docs);  // the current folder's folder leaves the tree
  EXPECT_EQ(&device->CurrentFolder(), root.get());
}

// Sees what the device's current folder is while a node is told it leaves.
class TCurrentFolderProbe : public IPresenceWatcher {
 public:
  explicit TCurrentFolderProbe(TSynDevice& device) : device_(device) {}
  void Watch(TNode& node) override { device_.Watch(node); }
  void Unwatch(TNode& node) override {
    seen = &device_.CurrentFolder();
    device_.Unwatch(node);
  }
  TSynFolder* seen = nullptr;

 private:
  TSynDevice& device_;
};

// A node that has left the tree (an operation still holds it) is never
// watched again, nor made current, nor is anything below it; and while it
// is leaving, the folder above it is the current one already.
TEST_F(SynDeviceTest, ANodeThatLeftTheTreeIsNeitherWatchedNorCurrent) {
  TSynFolder& sub = docs.MakeChild<TSynFolder>("sub");
  sub.MarkLocalPresent();
  ASSERT_TRUE(device->IsWatched(sub));
  device->SetCurrentFolder(sub);
  const auto probe = std::make_shared<TCurrentFolderProbe>(*device);
  docs.SetPresenceWatcher(probe);
  TNodeHold hold(docs);
  root->RemoveChild(docs);
  EXPECT_EQ(probe->seen, root.get());
  EXPECT_FALSE(device->IsWatched(sub));
  sub.MarkLocalKnown();  // as an operation still running on it would
  docs.MarkLocalKnown();
  device->SetCurrentFolder(sub);
  EXPECT_FALSE(device->IsWatched(docs));
  EXPECT_FALSE(device->IsWatched(sub));
  EXPECT_EQ(&device->CurrentFolder(), root.get());
}

TEST_F(SynDeviceTest, TheShownFolderRemovedOnDiskLeavesItsParentShownAndOpened) {
  dir.CreateDir("docs/sub");
  docs.MarkLocalPresent();
  docs.MergeLocalListing(*device->ListLocal(docs));  // sub: local only
  device->SetCurrentFolder(dynamic_cast<TSynFolder&>(*docs.FindChild("sub")));
  std::filesystem::remove(dir / "docs/sub");
  ASSERT_TRUE(loop.RunUntil([&] { return server->log.Count("exists docs") == 1; }));
  EXPECT_EQ(&device->CurrentFolder(), &docs);
  EXPECT_EQ(docs.FindChild("sub"), nullptr);
}

}  // namespace
}  // namespace ravelo::test
