// The client against a real FTP server (pyftpdlib on loopback).
#include "net/ftp_client.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <streambuf>

#include <condition_variable>
#include <cstdlib>
#include <thread>

#include "net/ftp_exceptions.h"
#include "platform/file_time.h"
#include "support/ftp_test_server.h"

namespace ravelo {
namespace {

using test::TFtpTestServer;
using TServerOptions = TFtpTestServer::TOptions;

TServerOptions WithTls(TFtpTestServer::TTls tls = TFtpTestServer::kSelfSigned) {
  TServerOptions options;
  options.Tls = tls;
  return options;
}

// The message of the EFtp the action raises; "" when it raises none.
template <typename F>
std::string FailureOf(F&& action) {
  try {
    action();
  } catch (const EFtp& error) {
    return error.what();
  }
  return "";
}

int OpenDescriptors() {
  const std::filesystem::directory_iterator entries("/proc/self/fd");
  return static_cast<int>(std::distance(begin(entries), end(entries)));
}

template <typename F>
int ReplyCodeOf(F&& action) {
  try {
    action();
  } catch (const EFtpReplyError& error) {
    return error.ReplyErrorCode();
  }
  return -1;
}

void Aim(TFtpClient& client, const TFtpTestServer& server) {
  TFtpSettings& settings = client.Settings();
  settings.Host = server.HostPort();
  settings.Username = TFtpTestServer::kUser;
  settings.Password = TFtpTestServer::kPassword;
  settings.ReadTimeout = settings.AcceptTimeout = settings.TransferTimeout =
      std::chrono::seconds(10);
  settings.FollowUpTimeout = std::chrono::milliseconds(200);
}

class FtpClientTest : public ::testing::Test {
 protected:
  void SetUp() override { Aim(client_, server_); }

  std::string Download(const std::string& name) {
    std::ostringstream out;
    client_.Get(name, out);
    return out.str();
  }

  void Upload(const std::string& content, const std::string& name) {
    std::istringstream in(content);
    client_.Put(in, name);
  }

  TFtpTestServer server_;
  TFtpClient client_;
};

TEST_F(FtpClientTest, ConnectLogsInAndQuitDisconnects) {
  client_.Connect();
  EXPECT_EQ(client_.Greeting().NumericCode, 220);
  EXPECT_EQ(client_.SystemDesc(), "UNIX Type: L8");
  EXPECT_THROW(client_.Connect(), EFtpAlreadyConnected);
  client_.Quit();
  EXPECT_FALSE(client_.Connected());
  EXPECT_THROW(client_.ChangeDir("/"), EFtpNotConnected);
  client_.Connect();
  EXPECT_TRUE(client_.Connected());
}

// Names go out and are listed as they are, blanks and all, but never with
// a line break or NUL.
TEST_F(FtpClientTest, NamesGoOutAsTheyAre) {
  const std::string name = " lead and  inner blanks.bin ";
  client_.Connect();
  Upload("blanks", name);
  EXPECT_EQ(Download(name), "blanks");
  std::vector<std::string> lines;
  client_.List(lines);
  ASSERT_EQ(client_.DirectoryListing().Count(), 1u);
  EXPECT_EQ(client_.DirectoryListing().Items(0).FileName, name);
  Upload("", "empty.bin");
  EXPECT_EQ(Download("empty.bin"), "");
  // A name with a line break would smuggle a second command: refused.
  EXPECT_THROW(Upload("x", "a\r\nDELE other"), EFtpInvalidName);
  EXPECT_THROW(client_.Delete(std::string("a\0b", 3)), EFtpInvalidName);
}

// Refused commands and transfers (550), a full disk and an unseekable
// source fail, leave no data connection behind, and keep the connection in
// step; the server learns that the data is incomplete. (The commands that
// succeed are run by ftp_command_test against the same server.)
TEST_F(FtpClientTest, FailuresLeaveNoDataConnectionAndKeepStep) {
  server_.Home().CreateFile("big.bin", std::string(8 * 1024 * 1024, 'b'));
  server_.Home().CreateFile("small.txt", "s");
  client_.Connect();
  std::ostringstream kept("kept", std::ios::ate);
  std::ofstream full("/dev/full", std::ios::binary);
  struct TUnseekable : std::streambuf {
  } unseekable_buffer;
  std::istream unseekable(&unseekable_buffer);
  const int before = OpenDescriptors();
  const std::vector<std::pair<std::function<void()>, int>> cases = {
      {[&] { client_.Get("missing.txt", kept); }, 550},
      {[&] { Upload("x", "no/such/folder.txt"); }, 550},
      {[&] { client_.ChangeDir("missing"); }, 550},
      {[&] { client_.Delete("missing"); }, 550},
      {[&] { client_.RemoveDir("missing"); }, 550},
      {[&] { client_.Rename("missing", "other"); }, 550},
      {[&] { EXPECT_THROW(client_.Get("big.bin", full), EFtpStreamError); }, -1},
      {[&] { EXPECT_THROW(client_.Put(unseekable, "never.bin"), EFtpStreamError); }, -1},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(ReplyCodeOf(cases[i].first), cases[i].second);
    EXPECT_FALSE(client_.HasDataConnection());
    EXPECT_EQ(Download("small.txt"), "s");
  }
  EXPECT_EQ(kept.str(), "kept");
  EXPECT_FALSE(server_.Home().Exists("never.bin"));
  EXPECT_EQ(OpenDescriptors(), before);
}

// Every data mode, plain and over TLS, moves the same bytes, lists with
// exact times (MLSD) and says whether the connection is encrypted.
TEST(FtpClientModesTest, EveryModeMovesTheSameBytes) {
  TFtpTestServer plain, secure(WithTls());
  // Megabytes: an upload must reach the server whole even when its end is
  // still on the way as the data connection closes.
  std::string all_bytes = "\r\n\n\r";
  for (int i = 0; i < 256 * 16384; ++i) all_bytes += static_cast<char>(i);
  struct TCase {
    TFtpDataMode mode;
    TFtpTlsMode tls;
    TFtpTestServer* server;
  };
  const std::vector<TCase> cases = {
      {dmActive, tmPlain, &plain},        {dmPassive, tmPlain, &plain},
      {dmAutomatic, tmIfOffered, &plain}, {dmPassive, tmRequire, &secure},
      {dmActive, tmIfOffered, &secure},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.mode) + " " + std::to_string(c.tls));
    const bool tls = c.server == &secure;
    TFtpClient client;
    Aim(client, *c.server);
    client.Settings().DataMode = c.mode;
    client.Settings().TlsMode = c.tls;
    client.Settings().AcceptedFingerprint = secure.Fingerprint();
    client.Settings().PreciseTimes = true;
    client.Connect();
    EXPECT_EQ(client.Encrypted(), tls);
    EXPECT_EQ(client.TlsOffered(), tls);
    EXPECT_EQ(client.CertificateFingerprint(), tls ? secure.Fingerprint() : "");
    std::istringstream in(all_bytes);
    client.Put(in, "bytes.bin");
    EXPECT_TRUE(c.server->Home().ReadFile("bytes.bin") == all_bytes);
    std::ostringstream out;
    client.Get("bytes.bin", out);
    EXPECT_TRUE(out.str() == all_bytes);
    EXPECT_EQ(client.DataSessionReused(), tls);
    std::vector<std::string> lines;
    client.List(lines);
    ASSERT_EQ(client.DirectoryListing().Count(), 1u);
    EXPECT_EQ(client.DirectoryListing().Items(0).TimePrecision, tpExact);
    client.Quit();
  }
}

// MLSD and MLST give the file's time to the second in local time, by the
// conversion local file times use; without MLST the listing is LIST and
// one file's information comes from MDTM and SIZE; without those either,
// it is not supported.
TEST(FtpClientModesTest, ExactTimesWhereTheServerGivesThem) {
  struct TCase {
    std::string hide;
    TFtpTimePrecision listed;
    bool file_info;
  };
  for (const auto& c : std::vector<TCase>{
           {"", tpExact, true}, {"MLST", tpMinute, true}, {"MLST,MDTM", tpMinute, false}}) {
    SCOPED_TRACE(c.hide);
    TServerOptions options;
    options.Hide = c.hide;
    TFtpTestServer server(options);
    const auto path = server.Home().CreateFile("dated.txt", "12345");
    const timespec when[2] = {{1772721027, 0}, {1772721027, 0}};  // 2026-03-05 14:30:27 UTC
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), when, 0), 0);
    const double local = FileTimeToDateTime(when[1]);
    TFtpClient client;
    Aim(client, server);
    client.Settings().PreciseTimes = true;
    client.SetTransferType(ftASCII);
    client.Connect();
    std::vector<std::string> lines;
    client.List(lines);
    const TFtpListItem& listed = client.DirectoryListing().Items(0);
    EXPECT_EQ(listed.TimePrecision, c.listed);
    if (c.listed == tpExact) {
      EXPECT_EQ(listed.ModifiedDate, local);
    }
    EXPECT_EQ(client.SupportsFileInfo(), c.file_info);
    if (!c.file_info) {
      EXPECT_THROW(client.FileInfo("dated.txt"), EFtpNotSupported);
      continue;
    }
    const auto info = client.FileInfo("dated.txt");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->FileName, "dated.txt");
    EXPECT_EQ(info->Size, 5);
    EXPECT_EQ(info->ModifiedDate, local);
    EXPECT_EQ(info->TimePrecision, tpExact);
    EXPECT_FALSE(client.FileInfo("missing.txt"));
    // SIZE went out in binary; the ASCII type is back for transfers.
    std::ostringstream out;
    client.Get("dated.txt", out);
    EXPECT_EQ(out.str(), "12345");
    client.Noop();
  }
}

// A certificate that does not verify is refused with its fingerprint in the
// message, unless it is the accepted one; one that verifies against the
// trust store and the host name needs no acceptance.
TEST(FtpClientTlsTest, CertificatesVerifyOrMatchTheAcceptedFingerprint) {
  TFtpTestServer self_signed(WithTls());
  TFtpTestServer changed(WithTls());
  TFtpTestServer issued(WithTls(TFtpTestServer::kIssued));
  TServerOptions other_name = WithTls(TFtpTestServer::kIssued);
  other_name.CertificateName = "other.example";
  TFtpTestServer misnamed(other_name);
  std::string accepted_form = self_signed.Fingerprint();  // as a user may type it
  for (char& c : accepted_form) c = static_cast<char>(std::tolower(c));
  accepted_form.insert(2, ":");
  struct TCase {
    const char* what;
    TFtpTestServer* server;
    std::string accepted;
    std::string failure;  // "" when it connects
  };
  const std::vector<TCase> cases = {
      {"unknown", &self_signed, "",
       "Server Certificate Not Trusted (self-signed certificate). SHA-256 Fingerprint: " +
           self_signed.Fingerprint()},
      {"accepted", &self_signed, accepted_form, ""},
      {"changed", &changed, self_signed.Fingerprint(),
       "Server Certificate Changed Since It Was Accepted (self-signed certificate). SHA-256 "
       "Fingerprint: " +
           changed.Fingerprint()},
      {"issued", &issued, "", ""},
      {"misnamed", &misnamed, "",
       "Server Certificate Not Trusted (IP address mismatch). SHA-256 Fingerprint: " +
           misnamed.Fingerprint()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // The trust store: the issuing authority alone.
    setenv("SSL_CERT_FILE", c.server->AuthorityFile().c_str(), 1);
    TFtpClient client;
    Aim(client, *c.server);
    client.Settings().TlsMode = tmRequire;
    client.Settings().AcceptedFingerprint = c.accepted;
    EXPECT_EQ(FailureOf([&] { client.Connect(); }), c.failure);
    EXPECT_EQ(client.Connected(), c.failure.empty());
    std::vector<std::string> lines;
    if (client.Connected()) {
      EXPECT_EQ(FailureOf([&] { client.List(lines); }), "");
    }
  }
  unsetenv("SSL_CERT_FILE");
}

// "Require TLS" refuses a server that does not encrypt both connections;
// "Use TLS if offered" goes on in the clear where the server does not.
TEST(FtpClientTlsTest, RequireRefusesWhatIfOfferedTakesInTheClear) {
  TFtpTestServer plain;
  TServerOptions refuse_prot_p = WithTls();
  refuse_prot_p.RefuseProtP = true;
  TFtpTestServer clear_data(refuse_prot_p);
  struct TCase {
    TFtpTestServer* server;
    TFtpTlsMode mode;
    std::string failure;
    bool offered;
  };
  const std::vector<TCase> cases = {
      {&plain, tmRequire, "TLS Required, But The Server Does Not Offer It.", false},
      {&clear_data, tmRequire, "TLS Required, But The Server Refuses Encrypted Data Connections.",
       true},
      {&clear_data, tmIfOffered, "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.failure);
    c.server->Home().CreateFile("f.txt", "clear");
    TFtpClient client;
    Aim(client, *c.server);
    client.Settings().TlsMode = c.mode;
    client.Settings().AcceptedFingerprint = clear_data.Fingerprint();
    EXPECT_EQ(FailureOf([&] { client.Connect(); }), c.failure);
    EXPECT_EQ(client.TlsOffered(), c.offered);
    EXPECT_FALSE(client.Encrypted());
    if (!c.failure.empty()) continue;
    std::ostringstream out;
    client.Get("f.txt", out);
    EXPECT_EQ(out.str(), "clear");
  }
}

// Abort and Disconnect from another thread end a download over TLS with an
// error; after an Abort the connection goes on. The download's stream holds
// the transfer at its first bytes until the other thread has acted.
TEST(FtpClientTlsTest, AbortFromAnotherThreadEndsAnEncryptedDownload) {
  TFtpTestServer server(WithTls());
  server.Home().CreateFile("big.bin", std::string(16 * 1024 * 1024, 'b'));
  server.Home().CreateFile("small.txt", "s");
  struct THeld : std::streambuf {
    std::mutex lock;
    std::condition_variable changed;
    bool writing = false, released = false;
    std::streamsize xsputn(const char*, std::streamsize n) override {
      std::unique_lock guard(lock);
      writing = true;
      changed.notify_all();
      changed.wait(guard, [&] { return released; });
      return n;
    }
  };
  for (const bool disconnect : {false, true}) {
    SCOPED_TRACE(disconnect ? "disconnect" : "abort");
    TFtpClient client;
    Aim(client, server);
    client.Settings().DataMode = dmPassive;
    client.Settings().TlsMode = tmRequire;
    client.Settings().AcceptedFingerprint = server.Fingerprint();
    client.Connect();
    THeld held;
    std::ostream out(&held);
    std::string failure;
    std::thread transfer([&] { failure = FailureOf([&] { client.Get("big.bin", out); }); });
    {
      std::unique_lock guard(held.lock);
      held.changed.wait(guard, [&] { return held.writing; });
    }
    disconnect ? client.Disconnect() : client.Abort();
    {
      std::lock_guard guard(held.lock);
      held.released = true;
    }
    held.changed.notify_all();
    transfer.join();
    EXPECT_NE(failure, "");
    EXPECT_FALSE(client.HasDataConnection());
    if (disconnect) continue;
    std::ostringstream small;
    client.Get("small.txt", small);
    EXPECT_EQ(small.str(), "s");
  }
}

TEST(FtpClientIpv6Test, DataConnectionsOverIpv6UseEprtAndEpsv) {
  std::unique_ptr<TFtpTestServer> server;
  try {
    server = std::make_unique<TFtpTestServer>("::1");
  } catch (const std::exception&) {
    GTEST_SKIP() << "no IPv6 loopback here";
  }
  server->Home().CreateFile("six.txt", "over v6");
  for (const TFtpDataMode mode : {dmActive, dmPassive}) {
    TFtpClient client;
    Aim(client, *server);
    client.Settings().DataMode = mode;
    client.Connect();
    std::ostringstream out;
    client.Get("six.txt", out);
    EXPECT_EQ(out.str(), "over v6");
  }
}

}  // namespace
}  // namespace ravelo
