#include "sync/sticky_server.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <functional>
#include <mutex>

#include "net/ftp_exceptions.h"
#include "server_test_fixture.h"
#include "support/scripted_ftp_server.h"

namespace ravelo::test {
namespace {

using ::testing::IsEmpty;
using Script = std::function<void(TScriptedFtpServer&)>;

// One connection's way to the download of a.bin in the remote root.
TScriptedFtpServer& UpToRetr(TScriptedFtpServer& ftp) {
  return ftp.Login()
      .Answer("CWD /", "250 ok")
      .AcceptPort()
      .Answer("RETR a.bin", "150 sending")
      .DataConnect();
}
void Whole(TScriptedFtpServer& ftp) {
  UpToRetr(ftp).DataSend("0123456789").DataClose().Send("226 done");
}
void Cut(TScriptedFtpServer& ftp) {
  UpToRetr(ftp).DataSend("01234").DataClose().Send("426 broken").Send("226 aborted");
}
void LostAtPort(TScriptedFtpServer& ftp) {
  ftp.Login().Answer("CWD /", "250 ok").Expect("PORT").Close();
}

TEST_F(TServerTest, ALostConnectionIsReplacedOnceAndTheOperationRunsAgain) {
  const struct {
    const char* what;
    Script script;
    const char* error;  // empty: the download succeeds
  } rows[] = {
      {"421 to CWD",
       [](auto& ftp) {
         ftp.Login().Answer("CWD /", "421 going down").AcceptNext();
         Whole(ftp);
       },
       ""},
      {"426 mid-transfer: again from the start",
       [](auto& ftp) {
         Cut(ftp);
         Whole(ftp.AcceptNext());
       },
       ""},
      {"closed",
       [](auto& ftp) {
         LostAtPort(ftp);
         Whole(ftp.AcceptNext());
       },
       ""},
      {"reset",
       [](auto& ftp) {
         ftp.Login().Answer("CWD /", "250 ok").Expect("PORT").CloseWithReset();
         Whole(ftp.AcceptNext());
       },
       ""},
      {"lost again after the reconnect",
       [](auto& ftp) {
         LostAtPort(ftp);
         Cut(ftp.AcceptNext());
       },
       "broken\n"},
      {"550 is no loss", [](auto& ftp) { ftp.Login().Answer("CWD /", "550 no such folder"); },
       "no such folder\n"},
  };
  TSynFile& file = root->MakeChild<TSynFile>("a.bin");
  root->MarkRemotePresent();
  for (const auto& row : rows) {
    TScriptedFtpServer ftp;
    row.script(ftp);
    ftp.Start();
    project.SetSite({ftp.HostPort(), "user", "password", ""});
    dir.CreateFile("site/a.bin", "old");
    const auto sticky = std::make_shared<TStickyServer>(true, TestClientSettings());
    sticky->Connect();
    std::string error;
    try {
      sticky->Download(file);
    } catch (const std::exception& failure) {
      error = failure.what();
    }
    EXPECT_EQ(error, row.error) << row.what;
    EXPECT_EQ(ftp.Finish(), "") << row.what;
    EXPECT_EQ(dir.ReadFile("site/a.bin"), *row.error != '\0' ? "old" : "0123456789") << row.what;
    EXPECT_THAT(TempFiles(), IsEmpty()) << row.what;
  }
}

TEST_F(TServerTest, AReconnectLeavesTheQueueAlone) {
  TScriptedFtpServer ftp;
  Cut(ftp);
  Whole(ftp.AcceptNext());
  ftp.Answer("CWD /", "250 ok");
  ftp.Start();
  project.SetSite({ftp.HostPort(), "user", "password", ""});
  server->Connect();
  root->MarkRemotePresent();
  TSynFile& file = root->MakeChild<TSynFile>("a.bin");
  // The second asks for the server only once the first holds it.
  TGate first_holds;
  auto& first = root->MakeChild<TTestLeaf>("first");
  first.action = [&](TNode&, TOp, IServer& granted, const std::string&) {
    if (&granted != NoServer().get()) first_holds.Open();
    granted.Download(file);
  };
  auto& second = root->MakeChild<TTestLeaf>("second");
  second.action = [&](TNode&, TOp, IServer& granted, const std::string&) {
    first_holds.Wait();
    granted.FolderExists(*root);
  };
  Run([&] {
    first.Open();
    second.Open();
  });
  EXPECT_THAT(Failures(), IsEmpty());
  EXPECT_EQ(ftp.Finish(), "");
  EXPECT_EQ(dir.ReadFile("site/a.bin"), "0123456789");
}

TEST_F(TServerTest, AListingThatCannotBeReadIsAnErrorNotAMissingFile) {
  TScriptedFtpServer ftp;
  ftp.Login()
      .Answer("CWD /", "250 ok")
      .AcceptPort()
      .Answer("LIST", "150 listing")
      .DataConnect()
      .DataSend("this is no listing line\r\n")
      .DataClose()
      .Send("226 done");
  ftp.Start();
  project.SetSite({ftp.HostPort(), "user", "password", ""});
  TSynFile& file = root->MakeChild<TSynFile>("a.bin");
  server->Connect();
  EXPECT_THROW(file.RefreshRemote(*server), EFtpInvalidListingFormat);
  EXPECT_FALSE(file.RemoteKnown());
  EXPECT_EQ(ftp.Finish(), "");
}

TEST_F(TServerTest, DisconnectBreaksADownloadOffAtOnceAndForGood) {
  StartFtp(256 * 1024);
  ftp->Put("www/video.bin", Content(2 * 1024 * 1024), std::time(nullptr) - 60);
  dir.CreateFile("site/video.bin", "old");
  SetFileTime("video.bin", 1700000000);
  TSynFile& file =
      root->MakeChild<TSynFile>("video.bin", DateTime(1700000000), 1.0, TTimeKind::Minute);
  file.Synchronize();
  ASSERT_TRUE(loop.RunUntil([&] { return server->GetTransferred() > 0; }));
  const auto start = std::chrono::steady_clock::now();
  server->Disconnect();
  ASSERT_TRUE(WaitForWaiters(loop));
  // Eight seconds of transfer were left.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_THAT(Failures(), IsEmpty());  // the user's own doing
  EXPECT_FALSE(server->IsConnected());
  EXPECT_EQ(ftp->LogCount("RETR video.bin"), 1);
  EXPECT_EQ(dir.ReadFile("site/video.bin"), "old");
  EXPECT_THAT(TempFiles(), IsEmpty());
  EXPECT_GT(server->GetTransferred(), 0);
}

TEST_F(TServerTest, ServersWorkInParallelEachForOneWaiterAtATime) {
  StartFtp();
  const std::shared_ptr<TStickyServer> servers[] = {
      std::make_shared<TStickyServer>(false, TestClientSettings()),
      std::make_shared<TStickyServer>(false, TestClientSettings())};
  const TQueueingAssigner by_name([&](TWaiter& waiter) -> IServerControl& {
    return *servers[waiter.Node().Name()[0] == 'a' ? 0 : 1];
  });
  const int logins = ftp->LogCount("USER tester");
  for (const auto& each : servers) each->Connect();
  EXPECT_EQ(ftp->LogCount("USER tester"), logins);  // opened on first use

  std::mutex mutex;
  std::condition_variable changed;
  int active[2] = {0, 0};
  int most[2] = {0, 0};
  bool overlapped = false;
  const TOpAction action = [&](TNode&, TOp, IServer& granted, const std::string&) {
    granted.FolderExists(*root);
    const int i = &granted == static_cast<IServer*>(servers[0].get()) ? 0 : 1;
    std::unique_lock lock(mutex);
    most[i] = std::max(most[i], ++active[i]);
    overlapped = overlapped || (active[0] > 0 && active[1] > 0);
    changed.notify_all();
    changed.wait_for(lock, std::chrono::seconds(5), [&] { return overlapped; });
    --active[i];
  };
  std::vector<TTestLeaf*> leaves;
  for (const char* name : {"a1", "a2", "b1", "b2"}) {
    leaves.push_back(&root->MakeChild<TTestLeaf>(name));
    leaves.back()->action = action;
  }
  Run([&] {
    for (TTestLeaf* leaf : leaves) leaf->Open();
  });
  EXPECT_TRUE(overlapped);
  EXPECT_EQ(most[0], 1);
  EXPECT_EQ(most[1], 1);
  EXPECT_THAT(Failures(), IsEmpty());
  EXPECT_EQ(ftp->LogCount("USER tester"), logins + 2);
  EXPECT_FALSE(servers[0]->IsBusy() || servers[1]->IsBusy());
}

}  // namespace
}  // namespace ravelo::test
