// The client against a scripted server: replies and failures a real server
// does not give on demand. A script fails (Finish answers what went wrong)
// when the client sends anything but the commands it expects, in order.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <thread>
#include <type_traits>

#include "net/ftp_client.h"
#include "net/ftp_exceptions.h"
#include "support/scripted_ftp_server.h"

namespace ravelo {
namespace {

using test::TScriptedFtpServer;
using Lines = std::vector<std::string>;
using Script = std::function<void(TScriptedFtpServer&)>;
using std::chrono::milliseconds;

// A scripted server and a client aimed at it, with time limits that fail a
// test rather than hang it.
struct TSession {
  TSession() {
    TFtpSettings& settings = client.Settings();
    settings.Host = server.HostPort();
    settings.Username = "user";
    settings.Password = "pass";
    settings.ReadTimeout = settings.AcceptTimeout = settings.TransferTimeout = milliseconds(3000);
    settings.FollowUpTimeout = milliseconds(200);
  }
  // Ends the client's side; answers what went wrong in the script, "" if nothing.
  std::string Finish() {
    client.Disconnect();
    return server.Finish();
  }
  TScriptedFtpServer server;
  TFtpClient client;
};

// Polls the condition until it holds; false when it does not within 10 s.
template <typename F>
bool Eventually(F&& condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(milliseconds(1));
  }
  return true;
}

// The code of the reply error the action raises, -1 when it raises none.
template <typename F>
int ReplyCodeOf(F&& action, std::string* message = nullptr) {
  try {
    action();
  } catch (const EFtpReplyError& error) {
    if (message != nullptr) *message = error.what();
    return error.ReplyErrorCode();
  }
  return -1;
}

// Each script line is sent, except "> COMMAND", which the client must send;
// a multi-line reply not read whole would put the client out of step.
TEST(FtpClientEdgeTest, GreetingAndLoginReplies) {
  struct TCase {
    int code;             // of the reply error Connect raises; -1 when it logs in
    std::string outcome;  // the error's message, or the system description
    Lines script;
  };
  // Multi-line replies, one with an indented line; 230 to USER logs in
  // without PASS.
  const Lines logged_in = {"220-Welcome", "220 Done",         "> USER user",
                           "230-Hello",   "   see the notes", "230 end",
                           "> TYPE I",    "200 ok",           "> SYST"};
  const auto after_login = [&](const std::string& reply) {
    Lines script = logged_in;
    script.push_back(reply);
    return script;
  };
  const std::vector<TCase> cases = {
      {421, "Too many users\n", {"421 Too many users"}},
      {530,
       "Login incorrect.\n",
       {"220 hi", "> USER", "331 pw", "> PASS pass", "530 Login incorrect."}},
      // A refusal that echoes the password is not shown, masked or not.
      {530, "Login incorrect.\n", {"220 hi", "> USER", "331 pw", "> PASS", "530 bad pass: pass"}},
      {502, "Not implemented.\n", after_login("502 Not implemented.")},
      {-1, "Unknown", after_login("500 What?")},
      {-1, "first", after_login("215-first\r\n215 UNIX")},
      {0, "\n", {"220 hi", "> USER", "abc"}},  // a three-letter code is no number
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script.back());
    TSession s;
    for (const auto& line : c.script) {
      if (line.rfind("> ", 0) == 0) {
        s.server.Expect(line.substr(2));
      } else {
        s.server.Send(line);
      }
    }
    s.server.Stall().Start();
    std::string message;
    EXPECT_EQ(ReplyCodeOf([&] { s.client.Connect(); }, &message), c.code);
    EXPECT_EQ(s.client.Connected(), c.code == -1);
    EXPECT_EQ(c.code == -1 ? s.client.SystemDesc() : message, c.outcome);
    EXPECT_EQ(s.Finish(), "");
  }
}

// A transfer the server breaks off fails with its reply (never as done), and
// the control connection stays in step for the next command.
TEST(FtpClientEdgeTest, BrokenOffTransfersFailAndStayInStep) {
  struct TCase {
    Script script;
    int code;
    std::string received;
  };
  const std::vector<TCase> cases = {
      {[](auto& server) { server.Send("425 Can't open data connection."); }, 425, ""},
      {[](auto& server) {
         server.DataConnect().DataSend("partial").DataClose().Send("426 Aborted.").Send("226 Ok");
       },
       426, "partial"},
      // Without an ABOR most servers send nothing after the 426.
      {[](auto& server) { server.DataConnect().DataSend("partial").DataClose().Send("426 No."); },
       426, "partial"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    TSession s;
    s.server.Login().AcceptPort().Answer("RETR f", "150 here");
    c.script(s.server);
    s.server.Answer("CWD /", "250 ok").Stall().Start();
    s.client.Connect();
    std::ostringstream out;
    EXPECT_EQ(ReplyCodeOf([&] { s.client.Get("f", out); }), c.code);
    EXPECT_EQ(out.str(), c.received);
    EXPECT_FALSE(s.client.HasDataConnection());
    s.client.ChangeDir("/");
    EXPECT_EQ(s.Finish(), "");
  }
}

// A server that stops answering, closes the connection or sends an overlong
// line: the client raises and closes the control connection.
TEST(FtpClientEdgeTest, LostOrBrokenServersEndTheConnection) {
  // The server object counts a time-out as a lost connection.
  static_assert(std::is_base_of_v<EFtpConnClosed, EFtpTimeout>);
  const std::string timed_out = "Connection Timed Out.", closed = "Connection Closed Gracefully.";
  enum TAction { kCwd, kGet, kPut };
  struct TCase {
    const char* what;
    Script script;
    TAction action;
    std::string message;
    std::string received = "";
    milliseconds TFtpSettings::*limit = nullptr;  // shortened for the case
  };
  const auto retr = [](TScriptedFtpServer& server) -> TScriptedFtpServer& {
    return server.AcceptPort().Answer("RETR", "150 here");
  };
  const std::vector<TCase> cases = {
      {"no reply", [](auto& server) { server.Expect("CWD").Stall(); }, kCwd, timed_out, "",
       &TFtpSettings::ReadTimeout},
      {"no data connection", [&](auto& server) { retr(server).Stall(); }, kGet, timed_out, "",
       &TFtpSettings::AcceptTimeout},
      {"no data moving", [&](auto& server) { retr(server).DataConnect().DataSend("some").Stall(); },
       kGet, timed_out, "some", &TFtpSettings::TransferTimeout},
      {"cut mid-reply", [](auto& server) { server.Expect("CWD").Send("250-first line").Close(); },
       kCwd, closed},
      {"cut mid-download",
       [&](auto& server) { retr(server).DataConnect().DataSend("half of it").Close(); }, kGet,
       closed, "half of it"},
      {"cut mid-upload",
       [](auto& server) {
         server.AcceptPort().Answer("STOR", "150 send it").DataConnect().DataReceive(1).Close();
       },
       kPut, closed},
      {"overlong reply line",
       [](auto& server) { server.Expect("CWD").Send("250 " + std::string(20000, 'x')).Stall(); },
       kCwd, "Max line length exceeded."},
      {"endless multi-line reply",
       [](auto& server) {
         std::string lines = "250-first";
         for (int i = 0; i < 1000; ++i) lines += "\r\nmore";
         server.Expect("CWD").Send(lines).Stall();
       },
       kCwd, "Reply Too Long."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TSession s;
    c.script(s.server.Login());
    s.server.Start();
    s.client.Connect();
    if (c.limit != nullptr) s.client.Settings().*c.limit = milliseconds(50);
    std::ostringstream out;
    std::istringstream in(std::string(c.action == kPut ? 32 * 1024 * 1024 : 0, 'u'));
    try {
      if (c.action == kCwd) s.client.ChangeDir("x");
      if (c.action == kGet) s.client.Get("f", out);
      if (c.action == kPut) s.client.Put(in, "f");
      ADD_FAILURE() << "no failure";
    } catch (const EFtp& error) {
      EXPECT_EQ(error.what(), c.message);
    }
    EXPECT_EQ(out.str(), c.received);
    EXPECT_FALSE(s.client.Connected());
    EXPECT_FALSE(s.client.HasDataConnection());
    EXPECT_EQ(s.Finish(), "");
  }
}

// TYPE goes out only when the type changes; an ASCII upload sends the whole
// stream with CR LF line ends.
TEST(FtpClientEdgeTest, AsciiTypeAndUpload) {
  TSession s;
  s.server.Send("220 hi").Answer("USER", "230 ok").Answer("TYPE A", "200 ascii");
  s.server.Answer("SYST", "215 UNIX").AcceptPort().Answer("STOR up.txt", "150 go");
  s.server.DataConnect().DataReceive().Send("226 stored");
  s.server.Answer("TYPE I", "200 binary").Stall().Start();
  s.client.SetTransferType(ftASCII);
  s.client.Connect();
  std::istringstream in("x\ny\r\nz");
  in.seekg(3);
  s.client.Put(in, "up.txt");
  s.client.SetTransferType(ftASCII);
  s.client.SetTransferType(ftBinary);
  s.client.SetTransferType(ftBinary);
  EXPECT_EQ(s.Finish(), "");
  EXPECT_EQ(s.server.Received(), "x\r\ny\r\r\nz");
}

// LIST takes 125 as well as 150 and 250 as the end, and its data only from
// the server's address. A listing over a limit fails as soon as the excess
// arrives (the server here never ends it). The connection stays in step.
TEST(FtpClientEdgeTest, ListingsComeFromTheServerWithinLimits) {
  const std::string line(90, 'n');
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"total 1\r\n-rw-r--r-- 1 o g 5 Mar 5 14:30 a  b\r\n", "a  b"},
      {line + "n" + line, "Max line length exceeded."},
      {"a\r\nb\nc\r\rd", "Listing Too Long."},                      // the fourth line
      {line + "\r\n" + line + "\r\n" + line, "Listing Too Long."},  // over 200 bytes
  };
  for (const auto& [data, outcome] : cases) {
    SCOPED_TRACE(outcome);
    const bool listed = data.rfind("total", 0) == 0;
    TSession s;
    TFtpSettings& settings = s.client.Settings();
    settings.MaxLineLength = 100;
    settings.MaxListingLines = 3;
    settings.MaxListingSize = 200;
    s.server.Login().AcceptPort().Answer("LIST", "125 already open");
    s.server.DataConnect("127.0.0.2").DataSend("-rw-r--r-- 1 o g 6 Mar 5 14:30 forged\r\n");
    s.server.DataConnect().DataSend(data);
    if (listed) s.server.DataClose();
    s.server.Send("250 done").Answer("CWD", "250 ok").Stall().Start();
    s.client.Connect();
    Lines lines;
    try {
      s.client.List(lines);
      ASSERT_EQ(s.client.DirectoryListing().Count(), 1u);
      EXPECT_EQ(s.client.DirectoryListing().Items(0).FileName, outcome);
    } catch (const EFtp& error) {
      EXPECT_FALSE(listed);
      EXPECT_EQ(error.what(), outcome);
      EXPECT_EQ(s.client.DirectoryListing().Count(), 0u);
    }
    s.client.ChangeDir("y");
    EXPECT_EQ(s.Finish(), "");
  }
}

// A data connection from another address is refused, and the server's
// "complete" that follows is not taken for the transfer's outcome.
TEST(FtpClientEdgeTest, AForeignDataConnectionIsReportedAsRefused) {
  TSession s;
  s.server.Login().AcceptPort().Answer("RETR", "150 opening");
  s.server.DataConnect("127.0.0.2").DataSend("forged").Send("226 Transfer complete");
  s.server.Answer("CWD", "250 ok").Stall().Start();
  s.client.Connect();
  std::ostringstream file;
  EXPECT_THROW(s.client.Get("a", file), EFtpForeignDataConnection);
  EXPECT_EQ(file.str(), "");
  s.client.ChangeDir("y");
  EXPECT_EQ(s.Finish(), "");
}

// Abort (with Quit and Disconnect, as the server object calls them) from
// another thread ends a download in progress with an error, never with
// success or its own time-out; also when the server had said 226 already,
// since the bytes not yet arrived are missing. The server keeps the data
// connection open until the client closes it: only the client's own wake-up
// ends the transfer.
TEST(FtpClientEdgeTest, AbortFromAnotherThreadFailsTheDownload) {
  struct TCase {
    const char* what;
    Script script;
    bool quit;
  };
  const std::vector<TCase> cases = {
      {"226 first", [](auto& server) { server.Send("226 done").Expect("ABOR"); }, false},
      {"with quit", [](auto&) {}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TSession s;
    s.server.Login().AcceptPort().Answer("RETR", "150 here").DataConnect().DataSend("some");
    c.script(s.server);
    s.server.DataReceive().Stall().Start();
    s.client.Connect();
    std::ostringstream out;
    std::string outcome = "done";
    std::thread transfer([&] {
      try {
        s.client.Get("f", out);
      } catch (const EFtpTimeout&) {
        outcome = "not woken up";
      } catch (const EFtp&) {
        outcome = "failed";
      }
    });
    EXPECT_TRUE(Eventually([&] { return s.client.HasDataConnection(); }));
    s.client.Abort();
    if (c.quit) {
      s.client.Quit();
      s.client.Disconnect();
    }
    transfer.join();
    EXPECT_EQ(outcome, "failed");
    EXPECT_FALSE(s.client.HasDataConnection());
    EXPECT_EQ(s.Finish(), "");
  }
}

// Passive data connections go to the server's own address whatever a PASV
// reply names; a server refusing EPSV gets PASV, and under Automatic one
// refusing both gets PORT, each for the rest of the connection.
TEST(FtpClientEdgeTest, PassiveModesAndTheirFallbacks) {
  struct TCase {
    const char* what;
    TFtpDataMode mode;
    Script first;   // the data connection of the first listing
    Script second;  // and of the second
    int code = -1;  // of the first listing's failure
  };
  const std::vector<TCase> cases = {
      {"EPSV", dmPassive,
       [](auto& server) { server.AcceptEpsv().Answer("LIST", "150 go").DataAccept(); },
       [](auto& server) { server.AcceptEpsv().Answer("LIST", "150 go").DataAccept(); }},
      {"PASV naming another host", dmAutomatic,
       [](auto& server) {
         server.Answer("EPSV", "500 EPSV not understood.").AcceptPasv("10.9.8.7");
         server.Answer("LIST", "150 go").DataAccept();
       },
       [](auto& server) { server.AcceptPasv().Answer("LIST", "150 go").DataAccept(); }},
      {"PORT after both refused", dmAutomatic,
       [](auto& server) {
         server.Answer("EPSV", "500 no").Answer("PASV", "502 no").AcceptPort();
         server.Answer("LIST", "150 go").DataConnect();
       },
       [](auto& server) { server.AcceptPort().Answer("LIST", "150 go").DataConnect(); }},
      {"both refused, passive only", dmPassive,
       [](auto& server) { server.Answer("EPSV", "500 no").Answer("PASV", "502 No passive."); },
       [](auto& server) { server.Answer("PASV", "502 No passive."); }, 502},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TSession s;
    s.client.Settings().DataMode = c.mode;
    s.server.Login();
    for (const Script* transfer : {&c.first, &c.second}) {
      (*transfer)(s.server);
      if (c.code < 0)
        s.server.DataSend("-rw-r--r-- 1 o g 5 Mar 5 14:30 a\r\n").DataClose().Send("226 ok");
    }
    s.server.Stall().Start();
    s.client.Connect();
    for (int i = 0; i < 2; ++i) {
      Lines lines;
      EXPECT_EQ(ReplyCodeOf([&] { s.client.List(lines); }), c.code);
      EXPECT_EQ(lines, c.code < 0 ? Lines{"-rw-r--r-- 1 o g 5 Mar 5 14:30 a"} : Lines{});
    }
    EXPECT_EQ(s.Finish(), "");
  }
}

TEST(FtpHostPortTest, HostMayCarryAPort) {
  const auto split = [](const std::string& text) {
    const THostPort result = SplitHostPort(text, 21);
    return result.Host + " " + std::to_string(result.Port);
  };
  EXPECT_EQ(split("ftp.example.org"), "ftp.example.org 21");
  EXPECT_EQ(split("127.0.0.1:2121"), "127.0.0.1 2121");
  EXPECT_EQ(split("[::1]:2121"), "::1 2121");
  EXPECT_EQ(split("[::1]"), "::1 21");
  EXPECT_EQ(split("fe80::1"), "fe80::1 21");
  for (const char* bad : {"host:0", "host:70000", "host:ftp", "[::1"}) {
    EXPECT_THROW(SplitHostPort(bad, 21), EFtpSocketError) << bad;
  }
}

}  // namespace
}  // namespace ravelo
