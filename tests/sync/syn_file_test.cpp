#include "sync/syn_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <locale>
#include <optional>

#include "model/node_state.h"
#include "sync/download_temp_file.h"
#include "sync/files_errors.h"
#include "sync_test_fixture.h"

namespace ravelo::test {
namespace {

constexpr TTimeKind kMinute = TTimeKind::Minute;
TNullableTime T(double value, TTimeKind kind = TTimeKind::Exact) {
  TNullableTime time;
  time.SetValue(value, kind);
  return time;
}
const TNullableTime kNone;

TEST(FileStateTest, RuleRowsAndConsequences) {
  struct TRow {
    const char* what;
    TFileTimes times;  // local, synced local, remote, synced remote
    TNodeState state;
  };
  const TRow rows[] = {
      {"remote only, whatever was synced", {kNone, T(5), T(9), T(9)}, nsNotCached},
      {"local changed, remote not", {T(6), T(5), T(9), T(9)}, nsFresh},
      {"local only, whatever was synced", {T(6), T(6), kNone, T(9)}, nsFresh},
      {"remote changed, local not", {T(5), T(5), T(10), T(9)}, nsExpired},
      {"both changed", {T(6), T(5), T(10), T(9)}, nsAmbiguous},
      {"clocks hours apart, both unchanged", {T(5), T(5), T(5.5), T(5.5)}, nsSynchronized},
      {"local time went backwards", {T(4), T(5), T(9), T(9)}, nsUnknown},
      {"remote time went backwards", {T(5), T(5), T(8), T(9)}, nsUnknown},
      {"both sides, never synchronized", {T(5), kNone, T(9), kNone}, nsUnknown},
      {"neither side", {kNone, T(5), kNone, T(9)}, nsUnknown},
      {"a LIST time against an exact record", {T(5), T(5), T(9, kMinute), T(9)}, nsUnknown},
      {"LIST times, remote changed", {T(5), T(5), T(10, kMinute), T(9, kMinute)}, nsExpired},
  };
  for (const TRow& row : rows) EXPECT_EQ(FileState(row.times), row.state) << row.what;
}

using SynFileTest = TSyncTest;

// A record of a LIST time meets an exact reading, in another zone: the LIST
// time read beside it decides whether the server's copy changed since.
TEST_F(SynFileTest, AnExactReadingUpgradesARecordOfAnUnchangedListTime) {
  const double recorded = 45000.5;        // a LIST minute in the server's zone
  const double exact = 45000.5 - 0.1249;  // the same file, to the second, here
  const struct {
    const char* name;
    std::optional<double> listed_minute;
    bool edited_here;
    TNodeState state;
    TTimeKind record;
  } rows[] = {
      {"unchanged", recorded, false, nsSynchronized, TTimeKind::Exact},
      {"edited here", recorded, true, nsFresh, TTimeKind::Exact},
      {"changed there", recorded + 0.01, false, nsExpired, kMinute},
      {"changed on both", recorded + 0.01, true, nsAmbiguous, kMinute},
      {"no LIST time", std::nullopt, false, nsUnknown, kMinute},
  };
  for (const auto& row : rows) {
    TSynFile& file = root->MakeChild<TSynFile>(row.name, 40000.0, recorded, kMinute);
    file.SetLocalTime(row.edited_here ? 40001.0 : 40000.0);
    TRemoteFileInfo info{exact, 10, TTimeKind::Exact};
    if (row.listed_minute) info.ListedMinute.SetValue(*row.listed_minute, kMinute);
    file.SetRemoteInfo(info);
    EXPECT_EQ(file.CalcState(), row.state) << row.name;
    EXPECT_EQ(file.Times().SyncedRemoteTime.Kind(), row.record) << row.name;
    EXPECT_EQ(file.MinuteRecord(), row.record == kMinute) << row.name;
  }
}

// Times a merge from another thread sets while the transfer runs are not
// what it saw: a newer server version listed during a download is still to
// be fetched, an edit saved during an upload still to be sent.
TEST_F(SynFileTest, DownloadRecordsTheNewLocalTimeAndTheRemoteTimeKnownBefore) {
  server->AddFile("docs/a.txt", "remote text", 44000.25);
  Open(*root);
  Open(Folder("docs"));
  TSynFile& file = File("docs/a.txt");
  EXPECT_EQ(file.GetState(), nsNotCached);
  server->on_call = [&](const std::string& event) {
    if (event == "download docs/a.txt") file.SetRemoteTime(44000.5);
  };

  Open(file);  // a download, then the launch
  EXPECT_EQ(dir.ReadFile("site/docs/a.txt"), "remote text");
  EXPECT_EQ(file.SyncedRemoteTime(), 44000.25);
  EXPECT_EQ(file.GetState(), nsExpired);
  struct stat status {};
  ASSERT_EQ(::stat((site / "docs/a.txt").c_str(), &status), 0);
  EXPECT_EQ(file.SyncedLocalTime(), FileTimeToDateTime(status.st_mtim));
  EXPECT_EQ(file.LocalTime(), file.SyncedLocalTime());
  EXPECT_EQ(file.LocalSize(), 11);
  ASSERT_EQ(project.launcher.Calls().size(), 1u);
  EXPECT_EQ(project.launcher.Calls()[0],
            (std::vector<std::string>{"xdg-open", local_root + "/docs/a.txt"}));
  EXPECT_TRUE(Failures().empty());
}

TEST_F(SynFileTest, UploadRecordsTheServersNewTimeAndTheLocalTimeKnownBefore) {
  dir.CreateFile("site/a.txt", "local text");
  SetFileTime("a.txt", 1700000000, 250000000);
  server->SetClock(45100.5);
  Open(*root);
  TSynFile& file = File("a.txt");
  EXPECT_EQ(file.GetState(), nsFresh);
  EXPECT_EQ(file.GetTransferSize(), 10);
  server->on_call = [&](const std::string& event) {
    if (event == "upload a.txt") file.SetLocalTime(DateTime(1700000100));
  };

  Run([&] { file.Synchronize(); });
  EXPECT_EQ(server->Entry("a.txt").content, "local text");
  EXPECT_EQ(file.SyncedRemoteTime(), 45100.5);
  EXPECT_EQ(file.SyncedLocalTime(), DateTime(1700000000, 250000000));
  EXPECT_EQ(file.GetState(), nsFresh);
  const auto log = server->log.Events();
  const auto upload = std::find(log.begin(), log.end(), "upload a.txt");
  ASSERT_NE(upload, log.end());
  EXPECT_EQ(*(upload + 1), "info a.txt");  // the new time from a fresh listing
}

TEST_F(SynFileTest, SecondEditWithinTwoSecondsStillShowsFresh) {
  dir.CreateFile("site/a.txt", "one");
  SetFileTime("a.txt", 1700000000, 100000000);
  Open(*root);
  TSynFile& file = File("a.txt");
  Run([&] { file.Synchronize(); });
  ASSERT_EQ(file.GetState(), nsSynchronized);

  dir.CreateFile("site/a.txt", "two");
  SetFileTime("a.txt", 1700000000, 900000000);  // the same two-second slot
  file.RefreshLocal();
  EXPECT_EQ(file.GetState(), nsFresh);
}

TEST_F(SynFileTest, RefusesToSynchronizeUnknownAndAmbiguousFiles) {
  server->AddFile("a.txt", "server", 45000);
  server->AddFile("b.txt", "server", 45000);
  dir.CreateFile("site/a.txt", "never synchronized");
  Open(*root);
  TSynFile& unknown = File("a.txt");
  ASSERT_EQ(unknown.GetState(), nsUnknown);
  Run([&] { unknown.Synchronize(); });
  EXPECT_EQ(Failures(),
            std::vector<std::string>{"failed a.txt: Cannot Synchronize In State Unknown"});

  // b.txt synchronized, then changed on both sides.
  TSynFile& both = File("b.txt");
  Run([&] { both.Synchronize(); });
  dir.CreateFile("site/b.txt", "local edit");
  SetFileTime("b.txt", 2000000000);
  both.RefreshLocal();
  both.SetRemoteTime(45001);
  ASSERT_EQ(both.GetState(), nsAmbiguous);
  display->log.Clear();
  Run([&] { both.UploadFresh(); });
  Run([&] { both.Synchronize(); });
  EXPECT_EQ(Failures(),
            std::vector<std::string>{"failed b.txt: Cannot Synchronize In State Ambigous"});
  EXPECT_EQ(server->log.Count("upload b.txt"), 0);
}

TEST_F(SynFileTest, SynchronizeReadsAForgottenRemoteSideBeforeUploading) {
  // Left as it was after a reconnect, the file would look Fresh and its
  // upload would overwrite the server's newer copy.
  server->AddFile("a.txt", "v1", 45000);
  Open(*root);
  TSynFile& file = File("a.txt");
  Run([&] { file.Synchronize(); });
  server->AddFile("a.txt", "someone else's v2", 45002);
  dir.CreateFile("site/a.txt", "my edit");
  SetFileTime("a.txt", 2000000000);
  file.RefreshLocal();
  root->ForgetRemoteTree();

  Run([&] { file.Synchronize(); });
  EXPECT_EQ(server->Entry("a.txt").content, "someone else's v2");
  EXPECT_EQ(Failures(),
            std::vector<std::string>{"failed a.txt: Cannot Synchronize In State Ambigous"});
}

// An edit saved since the tree last looked is never replaced: a download
// reads the local copy again first, and a changed one fails the operation
// in the state the file now has, leaving both copies as they are.
TEST_F(SynFileTest, ADownloadReadsTheLocalCopyAgainAndKeepsAnEditItHadNotSeen) {
  server->AddFile("sync.txt", "v1", 45000);
  server->AddFile("open.txt", "v1", 45000);
  server->AddFile("new.txt", "theirs", 45000);
  Open(*root);
  for (const char* name : {"sync.txt", "open.txt"}) {
    Run([&] { File(name).Synchronize(); });
    server->AddFile(name, "v2", 45001);
    File(name).SetRemoteTime(45001);
    ASSERT_EQ(File(name).GetState(), nsExpired);
    dir.CreateFile(std::string("site/") + name, "my edit");
    SetFileTime(name, 2000000000);
  }
  ASSERT_EQ(File("new.txt").GetState(), nsNotCached);
  dir.CreateFile("site/new.txt", "made here meanwhile");

  Run([&] { File("sync.txt").Synchronize(); });
  Run([&] { File("open.txt").Open(); });
  Run([&] { File("new.txt").Synchronize(); });
  EXPECT_EQ(Failures(),
            (std::vector<std::string>{"failed sync.txt: Cannot Synchronize In State Ambigous",
                                      "failed open.txt: Cannot Synchronize In State Ambigous",
                                      "failed new.txt: Cannot Synchronize In State Unknown"}));
  EXPECT_EQ(dir.ReadFile("site/sync.txt"), "my edit");
  EXPECT_EQ(dir.ReadFile("site/open.txt"), "my edit");
  EXPECT_EQ(dir.ReadFile("site/new.txt"), "made here meanwhile");
  EXPECT_EQ(server->Entry("sync.txt").content, "v2");
  EXPECT_EQ(server->Entry("new.txt").content, "theirs");
  EXPECT_TRUE(project.launcher.Calls().empty());
}

// The server reads the side it replaces once more just before replacing
// it; a change made since the decision stops the transfer the same way.
TEST_F(SynFileTest, TheServersLastReadingStopsATransferTheSideChangedUnder) {
  server->AddFile("down.txt", "v1", 45000);
  dir.CreateFile("site/up.txt", "mine");
  Open(*root);
  Run([&] { File("down.txt").Synchronize(); });
  server->AddFile("down.txt", "v2", 45001);
  File("down.txt").SetRemoteTime(45001);
  server->on_call = [&](const std::string& event) {
    if (event == "download down.txt") {
      dir.CreateFile("site/down.txt", "saved during the download");
      SetFileTime("down.txt", 2000000000);
    }
  };
  server->AddFile("up.txt", "someone else's, since the listing", 45009);

  Run([&] { File("down.txt").Synchronize(); });
  Run([&] { File("up.txt").Synchronize(); });
  EXPECT_EQ(Failures(),
            (std::vector<std::string>{"failed down.txt: Cannot Synchronize In State Ambigous",
                                      "failed up.txt: Cannot Synchronize In State Unknown"}));
  EXPECT_EQ(dir.ReadFile("site/down.txt"), "saved during the download");
  EXPECT_EQ(server->Entry("up.txt").content, "someone else's, since the listing");
}

// The copy is synchronized at the time it was written with: an edit saved
// the moment it is in place is a change, never taken for the download.
TEST_F(SynFileTest, AnEditSavedRightAfterADownloadIsFresh) {
  server->AddFile("a.txt", "v1", 45000);
  Open(*root);
  server->after_commit = [&](const std::string&) {
    dir.CreateFile("site/a.txt", "saved at once");
    SetFileTime("a.txt", 2000000000);
  };
  Run([&] { File("a.txt").Synchronize(); });
  File("a.txt").RefreshLocal();
  EXPECT_EQ(File("a.txt").CalcState(), nsFresh);
}

TEST_F(SynFileTest, FailedDownloadKeepsThePreviousCopyAndTimes) {
  server->AddFile("a.txt", "version one", 45000);
  Open(*root);
  TSynFile& file = File("a.txt");
  Run([&] { file.Synchronize(); });
  const TFileTimes before = file.Times();
  server->AddFile("a.txt", "version two, longer", 45001);
  file.SetRemoteTime(45001);
  ASSERT_EQ(file.GetState(), nsExpired);

  std::filesystem::permissions(
      site / "a.txt", std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  server->FailOn("download a.txt", TServerDouble::ReplyError(426));
  Run([&] { file.Synchronize(); });
  EXPECT_EQ(Failures().size(), 1u);
  EXPECT_EQ(dir.ReadFile("site/a.txt"), "version one");
  for (const auto& entry : std::filesystem::directory_iterator(site))
    EXPECT_FALSE(IsDownloadTempName(entry.path().filename().string())) << entry.path();
  EXPECT_EQ(file.LocalTime(), before.LocalTime.GetValue());
  EXPECT_EQ(file.SyncedLocalTime(), before.SyncedLocalTime.GetValue());
  EXPECT_EQ(file.GetState(), nsExpired);

  // The new copy replaces the old one as it was: a private file stays private.
  Run([&] { file.Synchronize(); });
  EXPECT_EQ(dir.ReadFile("site/a.txt"), "version two, longer");
  EXPECT_EQ(std::filesystem::status(site / "a.txt").permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST_F(SynFileTest, RenameTouchesOnlyTheSidesThatExist) {
  dir.CreateFile("site/local.txt", "mine");
  server->AddFile("remote.txt", "theirs", 45000);
  Open(*root);

  Run([&] { File("local.txt").Rename("local2.txt"); });
  EXPECT_EQ(server->log.Count("rename local.txt local2.txt"), 0);
  EXPECT_EQ(dir.ReadFile("site/local2.txt"), "mine");
  EXPECT_FALSE(dir.Exists("site/local.txt"));

  Run([&] { File("remote.txt").Rename("remote2.txt"); });
  EXPECT_EQ(server->log.Count("rename remote.txt remote2.txt"), 1);
  EXPECT_TRUE(server->Exists("remote2.txt"));
  EXPECT_FALSE(dir.Exists("site/remote.txt"));
  EXPECT_FALSE(dir.Exists("site/remote2.txt"));
  EXPECT_TRUE(Has("local2.txt"));
  EXPECT_TRUE(Has("remote2.txt"));
  EXPECT_TRUE(Failures().empty());
}

TEST_F(SynFileTest, RenameToASiblingsOrAnInvalidNameChangesNothingAnywhere) {
  server->AddFile("a.txt", "a", 45000);
  server->AddFile("b.txt", "b", 45000);
  dir.CreateFile("site/a.txt", "a local");
  Open(*root);

  Run([&] { File("a.txt").Rename("B.TXT"); });
  Run([&] { File("a.txt").Rename("A.txt"); });  // a case variant of its own name
  for (const char* name : {"../a.txt", "sub/a.txt", "", "site.rvlp", "site.rvlp.new"})
    Run([&] { File("a.txt").Rename(name); });
  EXPECT_EQ(
      Failures(),
      (std::vector<std::string>{
          "failed a.txt: Node Already Exists", "failed a.txt: Node Already Exists",
          "failed a.txt: Invalid Name \"../a.txt\"", "failed a.txt: Invalid Name \"sub/a.txt\"",
          "failed a.txt: Invalid Name \"\"", "failed a.txt: Invalid Name \"site.rvlp\"",
          "failed a.txt: Invalid Name \"site.rvlp.new\""}));
  EXPECT_EQ(server->log.Count("rename a.txt ../a.txt"), 0);
  EXPECT_FALSE(dir.Exists("a.txt"));
  EXPECT_EQ(server->Entry("a.txt").content, "a");
  EXPECT_EQ(server->Entry("b.txt").content, "b");
  EXPECT_EQ(dir.ReadFile("site/a.txt"), "a local");
}

// A file of the new name that the tree does not know is never overwritten,
// nor does the node come to name it with the old file's times.
TEST_F(SynFileTest, RenameNeverBindsTheNodeToAFileItDoesNotOwn) {
  server->AddFile("a.txt", "a", 45000);
  server->AddFile("b.txt", "b", 45000);
  Open(*root);
  Run([&] { File("a.txt").Synchronize(); });
  Run([&] { File("b.txt").Synchronize(); });

  // There before the rename: nothing changes anywhere.
  dir.CreateFile("site/new.txt", "appeared since the listing");
  Run([&] { File("a.txt").Rename("new.txt"); });
  EXPECT_EQ(server->log.Count("rename a.txt new.txt"), 0);
  EXPECT_EQ(dir.ReadFile("site/new.txt"), "appeared since the listing");
  EXPECT_EQ(File("a.txt").GetState(), nsSynchronized);

  // Saved between the server's rename and the local move: the node follows
  // the server but is no longer taken for synchronized.
  server->on_call = [&](const std::string& event) {
    if (event == "rename b.txt late.txt") dir.CreateFile("site/late.txt", "saved just now");
  };
  Run([&] { File("b.txt").Rename("late.txt"); });
  EXPECT_EQ(Failures(), (std::vector<std::string>{"failed a.txt: Node Already Exists",
                                                  "failed late.txt: File exists"}));
  EXPECT_TRUE(server->Exists("late.txt"));
  EXPECT_EQ(dir.ReadFile("site/late.txt"), "saved just now");
  EXPECT_EQ(dir.ReadFile("site/b.txt"), "b");
  EXPECT_THROW(File("late.txt").SyncedLocalTime(), ETimeUndefined);
  EXPECT_EQ(File("late.txt").GetState(), nsUnknown);
}

TEST_F(SynFileTest, DeleteAndClearCache) {
  server->AddFile("both.txt", "x", 45000);
  dir.CreateFile("site/both.txt", "x");
  server->AddFile("remote.txt", "y", 45000);
  Open(*root);

  Run([&] { File("remote.txt").ClearCache(); });  // no local copy: nothing
  EXPECT_TRUE(server->Exists("remote.txt"));
  EXPECT_TRUE(Has("remote.txt"));

  Run([&] { File("both.txt").Delete(); });
  EXPECT_FALSE(server->Exists("both.txt"));
  EXPECT_FALSE(dir.Exists("site/both.txt"));
  EXPECT_FALSE(Has("both.txt"));
  EXPECT_TRUE(Failures().empty());
}

// The operation runs again once it has a server (its remote side is read
// last); what an editor wrote in between stays.
TEST_F(SynFileTest, CreateLocalMakesAnEmptyFreshFileAndNeverTruncatesOne) {
  Open(*root);
  TSynFolder& docs = root->MakeChild<TSynFolder>("docs");
  TSynFile& file = docs.MakeChild<TSynFile>("new.txt");
  assigner.on_assign = [&] {
    EXPECT_EQ(dir.ReadFile("site/docs/new.txt"), "");
    dir.CreateFile("site/docs/new.txt", "typed meanwhile");
  };
  Run([&] { file.CreateLocal(); });
  EXPECT_EQ(dir.ReadFile("site/docs/new.txt"), "typed meanwhile");
  EXPECT_EQ(file.GetState(), nsFresh);
  EXPECT_EQ(docs.LocalPresence(), prPresent);
  EXPECT_TRUE(Failures().empty());
}

TEST_F(SynFileTest, NoLocalPathForANodeWhoseFolderLeftTheTree) {
  // Its folder gone, the file's path would read as if it lay in the root.
  TSynFolder& docs = root->MakeChild<TSynFolder>("docs");
  TSynFile& file = docs.MakeChild<TSynFile>("a.txt");
  TNodeHold hold(file);
  root->RemoveChild(docs);
  EXPECT_THROW(LocalPath(file), ETerminated);
}

TEST_F(SynFileTest, SizeTextAndLaunchBySettings) {
  TSynFolder& folder = root->MakeChild<TSynFolder>("v1.2");
  TSynFile& big = folder.MakeChild<TSynFile>("big.txt");
  EXPECT_EQ(big.GetSizeText(), "");
  big.SetRemoteTime(45000);
  big.SetRemoteSize(1234567);
  big.ClearLocalTree();
  EXPECT_EQ(big.GetSizeText(), "1,234,567");  // the C locale's separator is ","

  project.extensions.SetOpenType("txt", otCustom);
  project.extensions.SetCommand("txt", "/opt/editor");
  TSynFile& readme = folder.MakeChild<TSynFile>("README");
  TSynFile& program = folder.MakeChild<TSynFile>("setup.exe");
  big.Launch();
  readme.Launch();   // the dot of the folder's name is no extension
  program.Launch();  // EXE opens with nothing
  const std::string path = local_root + "/v1.2/";
  EXPECT_EQ(project.launcher.Calls(),
            (std::vector<std::vector<std::string>>{{"/opt/editor", path + "big.txt"},
                                                   {"xdg-open", path + "README"}}));
}

}  // namespace
}  // namespace ravelo::test
