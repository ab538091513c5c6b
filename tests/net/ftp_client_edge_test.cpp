// The client against a scripted server: replies and failures a real server
// does not give on demand.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>

#include <sstream>

#include "net/ftp_client.h"
#include "net/ftp_exceptions.h"
#include "support/scripted_ftp_server.h"

namespace ravelo {
namespace {

using test::TScriptedFtpServer;
using Lines = std::vector<std::string>;
using std::chrono::milliseconds;

class FtpClientEdgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TFtpSettings& settings = client_.Settings();
    settings.Host = server_.HostPort();
    settings.Username = "user";
    settings.Password = "pass";
    settings.ReadTimeout = milliseconds(3000);
    settings.AcceptTimeout = milliseconds(3000);
    settings.TransferTimeout = milliseconds(3000);
  }

  // Ends the client's side and answers what the script reported.
  std::string Finish() {
    client_.Disconnect();
    return server_.Finish();
  }

  int ReplyCodeOfConnect() {
    try {
      client_.Connect();
    } catch (const EFtpReplyError& error) {
      return error.ReplyErrorCode();
    }
    return -1;
  }

  TScriptedFtpServer server_;
  TFtpClient client_;
};

TEST_F(FtpClientEdgeTest, GreetingOtherThan220FailsAndCloses) {
  server_.Send("421 Too many users, try later").Stall();
  server_.Start();
  EXPECT_EQ(ReplyCodeOfConnect(), 421);
  EXPECT_FALSE(client_.Connected());
  EXPECT_EQ(Finish(), "");
}

TEST_F(FtpClientEdgeTest, Reply230ToUserLogsInWithoutPassword) {
  server_.Send("220 hi")
      .Answer("USER user", "230 no password needed")
      .Answer("TYPE I", "200 ok")
      .Answer("SYST", "215 UNIX Type: L8")
      .Expect("QUIT");
  server_.Start();
  client_.Connect();
  EXPECT_TRUE(client_.Connected());
  client_.Quit();
  EXPECT_EQ(Finish(), "");
  EXPECT_EQ(server_.Commands(), (Lines{"USER user", "TYPE I", "SYST", "QUIT"}));
}

TEST_F(FtpClientEdgeTest, Reply530ToPasswordFailsConnect) {
  server_.Send("220 hi").Answer("USER", "331 password").Answer("PASS pass", "530 Login incorrect.");
  server_.Stall().Start();
  try {
    client_.Connect();
    FAIL();
  } catch (const EFtpReplyError& error) {
    EXPECT_EQ(error.ReplyErrorCode(), 530);
    EXPECT_EQ(std::string(error.what()), "Login incorrect.\n");
  }
  EXPECT_FALSE(client_.Connected());
  EXPECT_EQ(Finish(), "");
}

TEST_F(FtpClientEdgeTest, SystRefusedWith502FailsBut500IsUnknown) {
  server_.Send("220 hi").Answer("USER", "230 ok").Answer("TYPE", "200 ok");
  server_.Answer("SYST", "502 Command not implemented.").Stall().Start();
  EXPECT_EQ(ReplyCodeOfConnect(), 502);
  EXPECT_EQ(Finish(), "");

  TScriptedFtpServer second;
  second.Send("220 hi").Answer("USER", "230 ok").Answer("TYPE", "200 ok");
  second.Answer("SYST", "500 What?").Stall().Start();
  client_.Settings().Host = second.HostPort();
  client_.Connect();
  EXPECT_EQ(client_.SystemDesc(), "Unknown");
  client_.Disconnect();
  EXPECT_EQ(second.Finish(), "");
}

TEST_F(FtpClientEdgeTest, MultiLineRepliesIncludingAnIndentedLine) {
  server_.Send("220-Welcome").Send("220 Done");
  server_.Answer("USER", "230-Hello\r\n   see the notes\r\n230 end");
  server_.Answer("TYPE", "200 ok").Answer("SYST", "215-first\r\n215 UNIX").Stall().Start();
  client_.Connect();
  EXPECT_EQ(client_.Greeting().Text, (Lines{"Welcome", "Done"}));
  EXPECT_EQ(client_.SystemDesc(), "first");
  EXPECT_EQ(Finish(), "");
}

TEST_F(FtpClientEdgeTest, RepliesWithoutANumericCodeAreRefused) {
  server_.Send("220 hi").Answer("USER", "abc").Stall().Start();
  EXPECT_EQ(ReplyCodeOfConnect(), 0);
  EXPECT_EQ(Finish(), "");
}

TEST_F(FtpClientEdgeTest, TransferTypeIsSentOnlyWhenItChanges) {
  server_.Send("220 hi").Answer("USER", "230 ok").Answer("TYPE A", "200 ascii");
  server_.Answer("SYST", "215 UNIX").Answer("TYPE I", "200 binary").Stall().Start();
  client_.SetTransferType(ftASCII);
  client_.Connect();
  client_.SetTransferType(ftASCII);
  client_.SetTransferType(ftBinary);
  client_.SetTransferType(ftBinary);
  EXPECT_EQ(Finish(), "");
  EXPECT_EQ(server_.Commands(), (Lines{"USER user", "TYPE A", "SYST", "TYPE I"}));
}

TEST_F(FtpClientEdgeTest, Final426Then226IsAFailureAndTheConnectionStaysInStep) {
  server_.Login().AcceptPort().Answer("RETR f", "150 here it comes");
  server_.DataConnect().DataSend("partial").DataClose();
  server_.Send("426 Connection closed; transfer aborted.").Send("226 Abort successful");
  server_.Answer("CWD /", "250 ok").Stall().Start();
  client_.Connect();
  std::ostringstream out;
  try {
    client_.Get("f", out);
    FAIL() << "a broken-off transfer was reported as done";
  } catch (const EFtpReplyError& error) {
    EXPECT_EQ(error.ReplyErrorCode(), 426);
  }
  EXPECT_EQ(out.str(), "partial");
  client_.ChangeDir("/");
  EXPECT_EQ(Finish(), "");
}

// Without an ABOR most servers send nothing after the 426.
TEST_F(FtpClientEdgeTest, Final426AloneFailsWithoutWaitingLong) {
  server_.Login().AcceptPort().Answer("STOR f", "150 send it").DataConnect().DataReceive();
  server_.Send("426 Transfer aborted; 3 bytes transmitted.");
  server_.Answer("CWD /", "250 ok").Stall().Start();
  client_.Connect();
  std::istringstream in("abc");
  try {
    client_.Put(in, "f");
    FAIL() << "a broken-off transfer was reported as done";
  } catch (const EFtpReplyError& error) {
    EXPECT_EQ(error.ReplyErrorCode(), 426);
  }
  client_.ChangeDir("/");
  EXPECT_EQ(Finish(), "");
}

TEST_F(FtpClientEdgeTest, ServerThatStopsAnsweringTimesOut) {
  client_.Settings().ReadTimeout = milliseconds(200);
  server_.Login().Expect("CWD").Stall().Start();
  client_.Connect();
  try {
    client_.ChangeDir("x");
    FAIL();
  } catch (const EFtpConnClosed& error) {
    EXPECT_NE(dynamic_cast<const EFtpTimeout*>(&error), nullptr);
    EXPECT_EQ(std::string(error.what()), "Connection Timed Out.");
  }
  EXPECT_FALSE(client_.Connected());
  EXPECT_EQ(Finish(), "");
}

TEST_F(FtpClientEdgeTest, DataConnectionThatNeverComesTimesOut) {
  client_.Settings().AcceptTimeout = milliseconds(200);
  server_.Login().AcceptPort().Answer("RETR", "150 soon").Stall().Start();
  client_.Connect();
  std::ostringstream out;
  EXPECT_THROW(client_.Get("f", out), EFtpTimeout);
  EXPECT_FALSE(client_.HasDataConnection());
  EXPECT_EQ(Finish(), "");
}

TEST_F(FtpClientEdgeTest, TransferWithoutProgressTimesOut) {
  client_.Settings().TransferTimeout = milliseconds(200);
  server_.Login().AcceptPort().Answer("RETR", "150 here").DataConnect().DataSend("some");
  server_.Stall().Start();
  client_.Connect();
  std::ostringstream out;
  EXPECT_THROW(client_.Get("f", out), EFtpTimeout);
  EXPECT_FALSE(client_.HasDataConnection());
  EXPECT_EQ(Finish(), "");
}

TEST_F(FtpClientEdgeTest, ReplyInsteadOfTheDataConnectionFailsAtOnce) {
  server_.Login().AcceptPort().Answer("RETR", "150 trying");
  server_.Send("425 Can't open data connection.").Stall().Start();
  client_.Connect();
  std::ostringstream out;
  try {
    client_.Get("f", out);
    FAIL();
  } catch (const EFtpReplyError& error) {
    EXPECT_EQ(error.ReplyErrorCode(), 425);
  }
  EXPECT_TRUE(client_.Connected());
  EXPECT_EQ(Finish(), "");
}

TEST_F(FtpClientEdgeTest, ConnectionCutMidDownloadIsNotSuccess) {
  server_.Login().AcceptPort().Answer("RETR", "150 here").DataConnect().DataSend("half of it");
  server_.Close().Start();
  client_.Connect();
  std::ostringstream out;
  EXPECT_THROW(client_.Get("f", out), EFtpConnClosed);
  EXPECT_EQ(out.str(), "half of it");
  EXPECT_FALSE(client_.Connected());
  EXPECT_EQ(Finish(), "");
}

TEST_F(FtpClientEdgeTest, ConnectionCutMidUploadIsNotSuccess) {
  server_.Login().AcceptPort().Answer("STOR", "150 send it").DataConnect().Pause(50);
  server_.Close().Start();
  client_.Connect();
  std::istringstream in(std::string(32 * 1024 * 1024, 'u'));
  EXPECT_THROW(client_.Put(in, "f"), EFtp);
  EXPECT_FALSE(client_.HasDataConnection());
  EXPECT_EQ(Finish(), "");
}

TEST_F(FtpClientEdgeTest, ServerClosingMidReplyIsAClosedConnection) {
  server_.Login().Expect("CWD").Send("250-first line").Close().Start();
  client_.Connect();
  EXPECT_THROW(client_.ChangeDir("x"), EFtpConnClosed);
  EXPECT_FALSE(client_.Connected());
  EXPECT_EQ(Finish(), "");
}

TEST_F(FtpClientEdgeTest, OverlongReplyLineClosesTheConnection) {
  server_.Login().Expect("CWD").Send("250 " + std::string(20000, 'x')).Stall().Start();
  client_.Connect();
  EXPECT_THROW(client_.ChangeDir("x"), EFtpLineTooLong);
  EXPECT_FALSE(client_.Connected());
  EXPECT_EQ(Finish(), "");
}

TEST_F(FtpClientEdgeTest, OverlongListingLineRaisesAfterTheTransferEnds) {
  server_.Login().AcceptPort().Answer("LIST", "150 listing").DataConnect();
  server_.DataSend("-rw-r--r-- 1 o g 1 Mar 5 14:30 " + std::string(20000, 'n') + "\r\n");
  server_.DataClose().Send("226 done").Answer("CWD", "250 ok").Stall().Start();
  client_.Connect();
  std::vector<std::string> lines;
  EXPECT_THROW(client_.List(lines), EFtpLineTooLong);
  EXPECT_EQ(client_.DirectoryListing().Count(), 0u);
  client_.ChangeDir("y");  // still in step
  EXPECT_EQ(Finish(), "");
}

TEST_F(FtpClientEdgeTest, DataConnectionFromAnotherAddressIsRefused) {
  server_.Login().AcceptPort().Answer("RETR", "150 here");
  server_.DataConnect("127.0.0.2").DataSend("forged");
  server_.DataConnect("127.0.0.1").DataSend("genuine").DataClose();
  server_.Send("226 done").Stall().Start();
  client_.Connect();
  std::ostringstream out;
  client_.Get("f", out);
  EXPECT_EQ(out.str(), "genuine");
  EXPECT_EQ(Finish(), "");
}

TEST_F(FtpClientEdgeTest, OnlyAForeignDataConnectionTimesOut) {
  client_.Settings().AcceptTimeout = milliseconds(300);
  server_.Login().AcceptPort().Answer("RETR", "150 here");
  server_.DataConnect("127.0.0.2").DataSend("forged").Stall().Start();
  client_.Connect();
  std::ostringstream out;
  EXPECT_THROW(client_.Get("f", out), EFtpTimeout);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(Finish(), "");
}

TEST_F(FtpClientEdgeTest, AsciiUploadSendsCrLfOnTheWire) {
  server_.Login().AcceptPort().Answer("STOR up.txt", "150 go").DataConnect().DataReceive();
  server_.Send("226 stored").Stall().Start();
  client_.SetTransferType(ftASCII);
  client_.Connect();
  std::istringstream in("x\ny\r\nz");
  in.seekg(3);  // the whole stream goes, from its beginning
  client_.Put(in, "up.txt");
  EXPECT_EQ(Finish(), "");
  EXPECT_EQ(server_.Received(), "x\r\ny\r\r\nz");
}

TEST_F(FtpClientEdgeTest, ListAcceptsPreliminary125And150AndEndCodes) {
  server_.Login().AcceptPort().Answer("LIST", "125 already open").DataConnect();
  server_.DataSend("total 1\r\n-rw-r--r-- 1 o g 5 Mar 5 14:30 a b\r\n").DataClose();
  server_.Send("250 done").Stall().Start();
  client_.Connect();
  std::vector<std::string> lines;
  client_.List(lines);
  EXPECT_EQ(lines.size(), 2u);
  ASSERT_EQ(client_.DirectoryListing().Count(), 1u);
  EXPECT_EQ(client_.DirectoryListing().Items(0).FileName, "a b");
  EXPECT_EQ(Finish(), "");
  EXPECT_TRUE(server_.Commands()[4].rfind("PORT 127,0,0,1,", 0) == 0);
}

TEST(FtpPortArgumentTest, AddressAndPortAsSixNumbers) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  inet_pton(AF_INET, "192.168.1.5", &address.sin_addr);
  TSocketAddress socket_address(reinterpret_cast<const sockaddr*>(&address), sizeof(address));
  socket_address.SetPort(5001);
  EXPECT_EQ(FormatPortArgument(socket_address), "192,168,1,5,19,137");

  sockaddr_in6 v6{};
  v6.sin6_family = AF_INET6;
  inet_pton(AF_INET6, "::1", &v6.sin6_addr);
  TSocketAddress v6_address(reinterpret_cast<const sockaddr*>(&v6), sizeof(v6));
  v6_address.SetPort(5001);
  EXPECT_EQ(FormatEprtArgument(v6_address), "|2|::1|5001|");
}

TEST(FtpHostPortTest, HostMayCarryAPort) {
  EXPECT_EQ(SplitHostPort("ftp.example.org", 21).Host, "ftp.example.org");
  EXPECT_EQ(SplitHostPort("ftp.example.org", 21).Port, 21);
  EXPECT_EQ(SplitHostPort("127.0.0.1:2121", 21).Port, 2121);
  EXPECT_EQ(SplitHostPort("[::1]:2121", 21).Host, "::1");
  EXPECT_EQ(SplitHostPort("[::1]:2121", 21).Port, 2121);
  EXPECT_EQ(SplitHostPort("[::1]", 21).Port, 21);
  EXPECT_EQ(SplitHostPort("fe80::1", 21).Host, "fe80::1");
  EXPECT_THROW(SplitHostPort("host:0", 21), EFtpSocketError);
  EXPECT_THROW(SplitHostPort("host:70000", 21), EFtpSocketError);
  EXPECT_THROW(SplitHostPort("host:ftp", 21), EFtpSocketError);
  EXPECT_THROW(SplitHostPort("[::1", 21), EFtpSocketError);
}

}  // namespace
}  // namespace ravelo
