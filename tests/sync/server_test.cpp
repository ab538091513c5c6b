#include "sync/server.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <set>

#include "device/keep_alive.h"
#include "model/time_info.h"
#include "server_test_fixture.h"
#include "sync/remote_path.h"
#include "sync/sync_errors.h"

namespace ravelo::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

TEST_F(TSyncTest, RemotePathsHangBelowTheRemoteFolder) {
  TSynFolder& docs = *root->ObtainFolder("docs");
  TSynFolder& img = *docs.ObtainFolder("img");
  const struct {
    const char* remote_folder;
    const TNode& node;
    const char* path;
  } rows[] = {
      {"", *root, "/"},
      {"", docs, "/docs"},
      {"/", docs, "/docs"},
      {"/www", *root, "/www"},
      {"/www", img, "/www/docs/img"},
      {"www/", docs, "/www/docs"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(RemoteNodePath(NormalizeRemoteRoot(row.remote_folder), row.node), row.path)
        << row.remote_folder << " " << row.node.GetPath();
}

TEST_F(TServerTest, NamesTheCacheKeepsForItselfNeverTravel) {
  dir.CreateFile("site/site.rvlp", "the project");
  for (const char* name : {"site.rvlp", "site.rvlp.new", ".ravelo-download-x1"}) {
    TSynFile& file = root->MakeChild<TSynFile>(name);
    EXPECT_THROW(server->Download(file), EInvalidNodeName) << name;
    EXPECT_THROW(server->Upload(file), EInvalidNodeName) << name;
  }
  EXPECT_EQ(dir.ReadFile("site/site.rvlp"), "the project");
}

TEST_F(TServerTest, MissingFoldersAreMadeDownFromTheNearestOneTheServerHas) {
  StartFtp();
  ftp->Home().CreateDir("www/a");
  dir.CreateFile("site/a/b/c/x.txt", "new page");
  TSynFile& file =
      *root->ObtainFolder("a")->ObtainFolder("b")->ObtainFolder("c")->ObtainFile("x.txt");
  Run([&] { file.Synchronize(); });
  EXPECT_THAT(Failures(), IsEmpty());
  EXPECT_TRUE(Logged({"CWD /www/a", "250", "CWD b", "550", "MKD b", "257", "CWD b", "250", "CWD c",
                      "550", "MKD c", "257", "CWD c", "250"}));
  EXPECT_EQ(ftp->Home().ReadFile("www/a/b/c/x.txt"), "new page");
  EXPECT_EQ(file.CalcState(), nsSynchronized);
}

TEST_F(TServerTest, AMissingRemoteFolderLeavesNoParentToEnter) {
  StartFtp(0, "/missing");
  dir.CreateFile("site/x.txt", "page");
  TSynFile& file = *root->ObtainFile("x.txt");
  Run([&] { file.Synchronize(); });
  EXPECT_THAT(Failures(), ElementsAre("failed x.txt: No Remote Parent Found"));
  EXPECT_FALSE(ftp->Home().Exists("missing"));
}

// Listings keep files and folders, by their exact names, of the folder at
// the node's path: the node the connection was in may go, and a new node may
// take its memory.
TEST_F(TServerTest, ListingsReadTheFolderAtTheNodesPathByExactNames) {
  StartFtp();
  ftp->Home().CreateFile("www/a/x.txt", "xyz");
  ftp->Home().CreateFile("www/a/Readme", "read me");
  ftp->Home().CreateDir("www/a/sub");
  std::filesystem::create_symlink("x.txt", ftp->Home() / "www/a/link");
  ftp->Home().CreateFile("www/b/y.txt", "y");
  TSynFolder& a = *root->ObtainFolder("a");
  const auto listing = server->ListFolder(a);
  ASSERT_EQ(listing->FolderCount(), 1);
  EXPECT_EQ(listing->FolderAt(0).Name, "sub");
  EXPECT_EQ(listing->FileCount(), 2);
  ASSERT_NE(listing->FindFile("x.txt"), nullptr);
  EXPECT_EQ(listing->FindFile("x.txt")->Size.GetValue(), 3);
  EXPECT_EQ(server->GetFileInfo(*a.ObtainFile("Readme")).Size, 7);
  EXPECT_THROW(server->GetFileInfo(*a.ObtainFile("x.TXT")), EFileNotFound);

  root->RemoveChild(a);
  const auto other = server->ListFolder(*root->ObtainFolder("b"));
  EXPECT_EQ(other->FindFile("x.txt"), nullptr);
  EXPECT_NE(other->FindFile("y.txt"), nullptr);
}

TEST_F(TServerTest, UploadSendsNothingOverACopyChangedOnTheServer) {
  StartFtp();
  // Listings show minutes: a change within the listed minute shows only in
  // the size.
  const std::time_t listed = (std::time(nullptr) - 7200) / 60 * 60 + 5;
  const struct {
    const char* name;
    std::time_t changed_at;
  } rows[] = {{"later.txt", listed + 3600}, {"same-minute.txt", listed + 20}};
  for (const auto& row : rows) ftp->Put(std::string("www/") + row.name, "original", listed);
  Open(*root);
  Run([&] {
    for (const auto& row : rows) File(row.name).Synchronize();
  });
  for (const auto& row : rows) {
    dir.CreateFile(std::string("site/") + row.name, "my edit");
    ftp->Put(std::string("www/") + row.name, "a colleague's version", row.changed_at);
  }
  Run([&] {
    for (const auto& row : rows) File(row.name).Synchronize();
  });
  EXPECT_THAT(Failures(),
              UnorderedElementsAre("failed later.txt: Cannot Synchronize In State Ambigous",
                                   "failed same-minute.txt: Cannot Synchronize In State Unknown"));
  for (const auto& row : rows) {
    EXPECT_EQ(ftp->Home().ReadFile(std::string("www/") + row.name), "a colleague's version");
    EXPECT_EQ(dir.ReadFile(std::string("site/") + row.name), "my edit");
  }
}

// With machine listings one file is read with MLST: the re-check before the
// upload sees a change within the minute, and no folder is listed for it.
TEST_F(TServerTest, WithMachineListingsTheUploadReadsItsFileWithMlst) {
  precise_times = true;
  StartFtp();
  const std::time_t listed = (std::time(nullptr) - 7200) / 60 * 60 + 5;
  for (const char* name : {"www/mine.txt", "www/theirs.txt"}) ftp->Put(name, "original", listed);
  Open(*root);
  Run([&] {
    for (const char* name : {"mine.txt", "theirs.txt"}) File(name).Synchronize();
  });
  for (const char* name : {"site/mine.txt", "site/theirs.txt"}) dir.CreateFile(name, "my edit");
  ftp->Put("www/theirs.txt", "a colleague's version", listed + 20);
  Run([&] {
    for (const char* name : {"mine.txt", "theirs.txt"}) File(name).Synchronize();
  });
  EXPECT_THAT(Failures(), ElementsAre("failed theirs.txt: Cannot Synchronize In State Ambigous"));
  EXPECT_EQ(ftp->Home().ReadFile("www/theirs.txt"), "a colleague's version");
  EXPECT_EQ(ftp->Home().ReadFile("www/mine.txt"), "my edit");
  EXPECT_EQ(File("mine.txt").CalcState(), nsSynchronized);
  EXPECT_EQ(File("mine.txt").Times().SyncedRemoteTime.Kind(), TTimeKind::Exact);
  EXPECT_EQ(ftp->LogCount("MLST mine.txt"), 2);  // the re-check, the new copy's time
  EXPECT_EQ(ftp->LogCount("LIST"), 0);
}

// The keep-alive's NOOP goes out on an idle connection only, never in the
// middle of an operation.
TEST_F(TServerTest, KeepAliveSendsNoopOnlyWhileTheConnectionIsIdle) {
  StartFtp(64 * 1024);  // half a second's transfer
  ftp->Put("www/big.bin", Content(32 * 1024), std::time(nullptr) - 7200);
  Open(*root);
  const TKeepAlive keep_alive({server}, std::chrono::milliseconds(20));
  ASSERT_TRUE(loop.RunUntil([&] { return ftp->LogCount("NOOP") >= 1; }));
  Run([&] { File("big.bin").Synchronize(); });
  const std::vector<std::string> log = ftp->Log();
  const auto retr = std::find(log.begin(), log.end(), "RETR big.bin");
  ASSERT_NE(retr, log.end());
  const auto done = std::find(retr, log.end(), "226");
  ASSERT_NE(done, log.end());
  EXPECT_EQ(std::count(retr, done, "NOOP"), 0);
  const int before = ftp->LogCount("NOOP");
  ASSERT_TRUE(loop.RunUntil([&] { return ftp->LogCount("NOOP") > before; }));
}

// The bytes a download moves count as they come, and stay counted when the
// copy they made is not kept.
TEST_F(TServerTest, DownloadCountsItsBytesAndKeepsALocalCopyEditedWhileItRan) {
  StartFtp(128 * 1024);  // half a second: time to act while it runs
  constexpr std::int64_t kSize = 64 * 1024;
  ftp->Put("www/page.html", Content(kSize), std::time(nullptr) - 60);
  dir.CreateFile("site/page.html", "old");
  SetFileTime("page.html", 1700000000);
  // Synchronized long ago, changed on the server since.
  TSynFile& file =
      root->MakeChild<TSynFile>("page.html", DateTime(1700000000), 1.0, TTimeKind::Minute);
  file.Synchronize();
  ASSERT_TRUE(loop.RunUntil([&] { return server->GetTransferred() > 0; }));
  dir.CreateFile("site/page.html", "edited meanwhile");
  std::set<std::int64_t> seen;
  ASSERT_TRUE(loop.RunUntil([&] {
    seen.insert(server->GetTransferred());
    return TWaiter::LiveCount() == 0;
  }));
  EXPECT_GE(std::count_if(seen.begin(), seen.end(), [&](auto n) { return n < kSize; }), 2);
  EXPECT_THAT(Failures(), ElementsAre("failed page.html: Cannot Synchronize In State Ambigous"));
  EXPECT_EQ(dir.ReadFile("site/page.html"), "edited meanwhile");
  EXPECT_THAT(TempFiles(), IsEmpty());
  EXPECT_TRUE(Logged({"TYPE A", "200"}));
  server->GetFileInfo(file);
  EXPECT_EQ(server->GetTransferred(), kSize);
}

// A binary transfer cut but answered as complete never replaces the copy.
TEST_F(TServerTest, ABinaryDownloadShorterThanListedKeepsTheOldCopy) {
  StartFtp();
  ftp->Put("www/data.bin", "12345", std::time(nullptr) - 60);
  dir.CreateFile("site/data.bin", "old");
  TSynFile& file = root->MakeChild<TSynFile>("data.bin");
  file.SetRemoteTime(DateTime(1700000000));
  file.SetRemoteSize(9);
  try {
    server->Download(file);
    FAIL() << "kept a short download";
  } catch (const EIncompleteDownload& error) {
    EXPECT_STREQ(error.what(), "Download Incomplete: 5 Of 9 Bytes");
  }
  EXPECT_EQ(dir.ReadFile("site/data.bin"), "old");
  EXPECT_THAT(TempFiles(), IsEmpty());
}

}  // namespace
}  // namespace ravelo::test
