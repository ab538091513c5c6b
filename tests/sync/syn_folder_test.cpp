#include "sync/syn_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "model/node_state.h"
#include "sync/local_changes.h"
#include "sync_test_fixture.h"

namespace ravelo::test {
namespace {

using SynFolderTest = TSyncTest;

int Position(const std::vector<std::string>& log, const std::string& event) {
  const auto found = std::find(log.begin(), log.end(), event);
  return found == log.end() ? -1 : static_cast<int>(found - log.begin());
}

TEST_F(SynFolderTest, OpenMergesBothListingsIntoOneChildPerName) {
  server->AddFile("remote.txt", "r", 45000);
  server->AddFile("Readme.txt", "server readme", 45000);
  server->AddFolder("docs");
  server->AddFolder("both");
  dir.CreateFile("site/local.txt", "l");
  dir.CreateFile("site/README.TXT", "local readme");
  dir.CreateDir("site/both");
  dir.CreateFile("site/site.rvlp", "the project file");
  Open(*root);

  EXPECT_EQ(root->ChildCount(), 5);  // README.TXT and Readme.txt are one child
  EXPECT_FALSE(Has("site.rvlp"));
  TSynFile& readme = File("readme.txt");
  EXPECT_EQ(readme.Name(), "Readme.txt");
  EXPECT_EQ(readme.LocalSize(), 12);
  EXPECT_EQ(readme.RemoteSize(), 13);
  EXPECT_EQ(readme.GetState(), nsUnknown);  // both sides, never synchronized
  EXPECT_EQ(File("remote.txt").GetState(), nsNotCached);
  // Known absent on the server at once, as the server's listing said too.
  EXPECT_EQ(File("local.txt").RemotePresence(), prAbsent);
  EXPECT_EQ(File("local.txt").GetState(), nsFresh);
  EXPECT_EQ(Folder("docs").GetState(), nsNotCached);
  EXPECT_EQ(Folder("both").GetState(), nsSynchronized);
  EXPECT_EQ(Folder("both").ChildCount(), 0);  // listed when it is opened
  EXPECT_EQ(&device->CurrentFolder(), root.get());
  EXPECT_TRUE(Failures().empty());

  Open(Folder("docs"));
  EXPECT_EQ(&device->CurrentFolder(), &Folder("docs"));
}

TEST_F(SynFolderTest, AFolderThatLeavesTheTreeDuringItsOpenNeverBecomesCurrent) {
  server->AddFolder("docs");
  Open(*root);
  TSynFolder& docs = Folder("docs");
  server->on_call = [&](const std::string& event) {
    if (event == "list docs") root->RemoveChild(docs);
  };
  Open(docs);
  EXPECT_EQ(&device->CurrentFolder(), root.get());
}

TEST_F(SynFolderTest, LocalMergeTakesANewNameForLocalOnly) {
  // The local listing may come first (the scan after connecting); a later
  // server listing makes the name present there again.
  server->AddFile("a.txt", "server", 45000);
  dir.CreateFile("site/a.txt", "local");
  root->MergeLocalListing(*device->ListLocal(*root));
  EXPECT_EQ(File("a.txt").RemotePresence(), prAbsent);
  EXPECT_EQ(File("a.txt").CalcState(), nsFresh);
  root->MergeRemoteListing(*server->ListFolder(*root));
  EXPECT_EQ(File("a.txt").RemotePresence(), prPresent);
  EXPECT_EQ(File("a.txt").CalcState(), nsUnknown);
}

TEST_F(SynFolderTest, FileOnOneSideAndFolderOnTheOtherFailsTheOpen) {
  server->AddFolder("x");
  dir.CreateFile("site/x", "a file");
  Open(*root);
  EXPECT_EQ(Failures(), std::vector<std::string>{"failed : Node Already Exists"});
  EXPECT_TRUE(root->RemoteListed());
  EXPECT_FALSE(root->LocalListed());
  EXPECT_THROW(
      try { root->FolderByName("none"); } catch (const ENoFolderWithName& error) {
        EXPECT_STREQ(error.what(), "No Folder With The Name \"none\" Found");
        throw;
      },
      ENoFolderWithName);
}

// Nor do the names the local cache keeps for itself: a server file named like
// the project file would be downloaded over it.
TEST_F(SynFolderTest, HostileRemoteNamesNeverBecomeNodes) {
  server->AddFile("good.txt", "fine", 45000);
  server->AddFile("site.rvlp", "the server's", 45000);
  server->AddFile(".ravelo-download-x", "half", 45000);
  dir.CreateFile("site/site.rvlp", "the project");
  for (const std::string& name : std::vector<std::string>{
           "../evil.txt", "sub/evil.txt", "..\\evil.txt", ".", "..", std::string("nul\0x", 5)})
    server->AddRawListingEntry("", name, false);
  for (const std::string& name : std::vector<std::string>{"..", ".", "../up", "a\\b", "/abs"})
    server->AddRawListingEntry("", name, true);
  Open(*root);
  Run([&] { root->Synchronize(); });

  EXPECT_TRUE(Failures().empty());
  EXPECT_EQ(root->ChildCount(), 1);
  EXPECT_EQ(dir.ReadFile("site/good.txt"), "fine");
  EXPECT_EQ(dir.ReadFile("site/site.rvlp"), "the project");
  std::vector<std::string> written;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.Path()))
    written.push_back(std::filesystem::relative(entry.path(), dir.Path()).string());
  std::sort(written.begin(), written.end());
  EXPECT_EQ(written, (std::vector<std::string>{"site", "site/good.txt", "site/site.rvlp"}));
}

TEST_F(SynFolderTest, WithoutConnectionOnlyTheLocalSideCounts) {
  server->AddFile("a.txt", "server", 45000);
  dir.CreateFile("site/b.txt", "local");
  server->SetConnected(false);
  Open(*root);
  EXPECT_TRUE(Failures().empty());
  EXPECT_EQ(root->RemotePresence(), prAbsent);
  EXPECT_FALSE(Has("a.txt"));
  EXPECT_EQ(File("b.txt").GetState(), nsFresh);
}

TEST_F(SynFolderTest, SynchronizeMakesTheMissingSideOfAFolderFirst) {
  dir.CreateFile("site/up/u.txt", "to upload");
  server->AddFile("down/d.txt", "to download", 45000);
  Open(*root);

  Run([&] { Folder("up").Synchronize(); });
  Run([&] { Folder("down").Synchronize(); });
  EXPECT_TRUE(Failures().empty());
  const auto log = server->log.Events();
  ASSERT_GE(Position(log, "mkdir up"), 0);
  EXPECT_LT(Position(log, "mkdir up"), Position(log, "upload up/u.txt"));
  EXPECT_EQ(server->Entry("up/u.txt").content, "to upload");
  EXPECT_EQ(dir.ReadFile("site/down/d.txt"), "to download");
  EXPECT_EQ(File("up/u.txt").GetState(), nsSynchronized);
  EXPECT_EQ(File("down/d.txt").GetState(), nsSynchronized);
  EXPECT_EQ(Folder("up").GetState(), nsSynchronized);
}

TEST_F(SynFolderTest, UploadFreshCreatesALocalOnlyFolderOnTheServerFirst) {
  dir.CreateFile("site/new/f.txt", "fresh");
  server->AddFile("old/o.txt", "remote only", 45000);
  Open(*root);
  Run([&] { Folder("old").UploadFresh(); });  // no local copy: nothing
  EXPECT_EQ(server->log.Count("mkdir old"), 0);
  EXPECT_FALSE(dir.Exists("site/old"));

  Run([&] { Folder("new").UploadFresh(); });
  const auto log = server->log.Events();
  ASSERT_GE(Position(log, "mkdir new"), 0);
  EXPECT_LT(Position(log, "mkdir new"), Position(log, "upload new/f.txt"));
  EXPECT_EQ(File("new/f.txt").GetState(), nsSynchronized);
  EXPECT_TRUE(Failures().empty());
}

// A link in the local cache leads out of it: nothing is read, written or
// deleted through one, and what it reaches is never published.
TEST_F(SynFolderTest, ALinkedFolderIsNeverFollowed) {
  dir.CreateFile("assets/keep.txt", "mine");
  std::filesystem::create_directory_symlink(dir / "assets", site / "shared");
  server->AddFile("shared/remote.txt", "theirs", 45000);
  Open(*root);
  EXPECT_EQ(Folder("shared").LocalPresence(), prAbsent);

  Run([&] { root->Synchronize(); });
  Run([&] { Folder("shared").ClearCache(); });
  Run([&] { Folder("shared").Delete(); });
  EXPECT_EQ(dir.ReadFile("assets/keep.txt"), "mine");
  EXPECT_FALSE(dir.Exists("assets/remote.txt"));
  EXPECT_FALSE(server->Exists("shared/keep.txt"));
  EXPECT_TRUE(std::filesystem::is_symlink(site / "shared"));
}

TEST_F(SynFolderTest, DeleteWorksBottomUpOnBothSides) {
  server->AddFile("docs/a.txt", "a", 45000);
  server->AddFile("docs/sub/r.txt", "r", 45000);
  dir.CreateFile("site/docs/a.txt", "a");
  dir.CreateFile("site/docs/sub/l.txt", "local only");
  Open(*root);
  Run([&] { Folder("docs").Delete(); });

  EXPECT_TRUE(Failures().empty());
  const auto log = server->log.Events();
  EXPECT_LT(Position(log, "delete docs/sub/r.txt"), Position(log, "rmdir docs/sub"));
  EXPECT_LT(Position(log, "rmdir docs/sub"), Position(log, "rmdir docs"));
  EXPECT_LT(Position(log, "delete docs/a.txt"), Position(log, "rmdir docs"));
  EXPECT_FALSE(server->Exists("docs"));
  EXPECT_FALSE(dir.Exists("site/docs"));
  EXPECT_FALSE(Has("docs"));
}

TEST_F(SynFolderTest, DeleteRepeatedForAServerDoesNotDeleteTwice) {
  // The folder's first server call comes after a local-only child was
  // deleted; the operation then runs again from its start with a server.
  server->AddFile("docs/r.txt", "r", 45000);
  dir.CreateFile("site/docs/l.txt", "local only");
  Open(*root);
  TSynFolder& docs = Folder("docs");
  docs.MergeLocalListing(*device->ListLocal(docs));  // l.txt comes first
  docs.MergeRemoteListing(*server->ListFolder(docs));
  ASSERT_EQ(File("docs/l.txt").RemotePresence(), prAbsent);
  Run([&] { docs.Delete(); });
  EXPECT_TRUE(Failures().empty());
  EXPECT_FALSE(dir.Exists("site/docs"));
  EXPECT_FALSE(server->Exists("docs"));
}

TEST_F(SynFolderTest, ClearCacheKeepsLocalWorkUnlessForcedThenRemovesBottomUp) {
  server->AddFile("docs/a.txt", "a", 45000);
  dir.CreateFile("site/docs/a.txt", "a");
  dir.CreateFile("site/docs/local.txt", "local only");
  dir.CreateFile("site/docs/sub/deep.txt", "deep");
  Open(*root);
  TSynFolder& docs = Folder("docs");
  Open(docs);
  Open(Folder("docs/sub"));
  // Never synchronized ("Unknown") and local only ("Fresh"): kept unless forced.
  EXPECT_EQ(CountLocalChanges(docs), 3);
  Run([&] { docs.ClearCache(); });
  EXPECT_EQ(Failures(), std::vector<std::string>{"failed docs: Local Changes Would Be Lost"});
  for (const char* path : {"site/docs/a.txt", "site/docs/local.txt", "site/docs/sub/deep.txt"})
    EXPECT_TRUE(dir.Exists(path)) << path;
  Run([&] { docs.ClearCache(true); });

  EXPECT_EQ(Failures().size(), 1u);  // the first run's, no other
  EXPECT_FALSE(dir.Exists("site/docs"));
  EXPECT_TRUE(server->Exists("docs/a.txt"));
  EXPECT_EQ(docs.GetState(), nsNotCached);
  EXPECT_EQ(File("docs/a.txt").GetState(), nsNotCached);
  EXPECT_FALSE(Has("docs/local.txt"));
  EXPECT_FALSE(Has("docs/sub"));
}

// The local listing is merged once: a file made after it is unknown to the
// tree, so the folder holding it stays, with that file.
TEST_F(SynFolderTest, ClearCacheStopsAtAFolderHoldingAnUnknownFile) {
  server->AddFile("docs/a.txt", "a", 45000);
  dir.CreateFile("site/docs/a.txt", "a");
  Open(*root);
  Open(Folder("docs"));
  dir.CreateFile("site/docs/later.txt", "made after the listing");
  Run([&] { Folder("docs").ClearCache(true); });

  EXPECT_EQ(Failures(), std::vector<std::string>{"failed docs: Directory not empty"});
  EXPECT_EQ(dir.ReadFile("site/docs/later.txt"), "made after the listing");
  EXPECT_FALSE(dir.Exists("site/docs/a.txt"));
}

}  // namespace
}  // namespace ravelo::test
