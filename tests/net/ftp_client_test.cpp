// The client against a real FTP server (pyftpdlib on loopback).
#include "net/ftp_client.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <streambuf>

#include "net/ftp_exceptions.h"
#include "support/ftp_test_server.h"

namespace ravelo {
namespace {

using test::TFtpTestServer;

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

// The big file, made as the upload reads it and checked as the download
// writes it, so the test never holds it either.
struct TPattern : std::streambuf {
  static char Byte(std::uint64_t i) { return static_cast<char>((i * 2654435761u) >> 13); }
  std::streamsize xsgetn(char* s, std::streamsize n) override {
    largest = std::max(largest, n);
    n = std::min(n, static_cast<std::streamsize>(kSize - position));
    for (std::streamsize i = 0; i < n; ++i) s[i] = Byte(position + i);
    position += static_cast<std::uint64_t>(n);
    return n;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    largest = std::max(largest, n);
    for (std::streamsize i = 0; i < n; ++i) mismatches += s[i] != Byte(position + i);
    position += static_cast<std::uint64_t>(n);
    return n;
  }
  pos_type seekpos(pos_type pos, std::ios::openmode) override {
    position = static_cast<std::uint64_t>(static_cast<off_type>(pos));
    return pos;
  }
  static constexpr std::uint64_t kSize = 48ull * 1024 * 1024;
  std::uint64_t position = 0;
  std::uint64_t mismatches = 0;
  std::streamsize largest = 0;
};

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

// Names go out and are listed as they are, blanks and all; binary transfers
// keep every byte and ASCII ones convert line ends.
TEST_F(FtpClientTest, NamesWithBlanksBinaryAndAsciiTransfers) {
  const std::string name = " lead and  inner blanks.bin ";
  std::string all_bytes = "\r\n\n\r";
  for (int i = 0; i < 256; ++i) all_bytes += static_cast<char>(i);
  client_.Connect();
  Upload(all_bytes, name);
  EXPECT_EQ(server_.Home().ReadFile(name), all_bytes);
  EXPECT_EQ(Download(name), all_bytes);
  std::vector<std::string> lines;
  client_.List(lines);
  ASSERT_EQ(client_.DirectoryListing().Count(), 1u);
  EXPECT_EQ(client_.DirectoryListing().Items(0).FileName, name);
  Upload("", "empty.bin");
  EXPECT_EQ(Download("empty.bin"), "");
  // A name with a line break would smuggle a second command: refused.
  EXPECT_THROW(Upload("x", "a\r\nDELE other"), EFtpInvalidName);
  EXPECT_THROW(client_.Delete(std::string("a\0b", 3)), EFtpInvalidName);

  // On the wire the lines end in CR LF, on either side in LF.
  server_.Home().CreateFile("server.txt", "one\ntwo\n\nthree");
  client_.SetTransferType(ftASCII);
  EXPECT_EQ(Download("server.txt"), "one\ntwo\n\nthree");
  Upload("local\nlines\n", "local.txt");
  EXPECT_EQ(server_.Home().ReadFile("local.txt"), "local\nlines\n");
}

// Refused commands and transfers (550) leave no data connection behind, and
// the connection goes on as before. (The commands that succeed are run by
// ftp_command_test against the same server.)
TEST_F(FtpClientTest, RefusalsLeaveNoDataConnectionAndKeepStep) {
  server_.Home().CreateFile("present.txt", "x");
  client_.Connect();
  const int before = OpenDescriptors();
  std::ostringstream out("kept", std::ios::ate);
  EXPECT_EQ(ReplyCodeOf([&] { client_.Get("missing.txt", out); }), 550);
  EXPECT_EQ(out.str(), "kept");
  EXPECT_EQ(ReplyCodeOf([&] { Upload("x", "no/such/folder.txt"); }), 550);
  EXPECT_EQ(ReplyCodeOf([&] { client_.ChangeDir("missing"); }), 550);
  EXPECT_EQ(ReplyCodeOf([&] { client_.Delete("missing"); }), 550);
  EXPECT_EQ(ReplyCodeOf([&] { client_.RemoveDir("missing"); }), 550);
  EXPECT_EQ(ReplyCodeOf([&] { client_.Rename("missing", "other"); }), 550);
  EXPECT_FALSE(client_.HasDataConnection());
  EXPECT_EQ(OpenDescriptors(), before);
  EXPECT_EQ(Download("present.txt"), "x");
}

// A full disk or an unseekable source fails the transfer; the server learns
// that the data is incomplete and the connection stays in step.
TEST_F(FtpClientTest, FailingLocalStreamsFailTheTransfer) {
  server_.Home().CreateFile("big.bin", std::string(8 * 1024 * 1024, 'b'));
  server_.Home().CreateFile("small.txt", "s");
  client_.Connect();
  std::ofstream out("/dev/full", std::ios::binary);
  EXPECT_THROW(client_.Get("big.bin", out), EFtpStreamError);
  EXPECT_FALSE(client_.HasDataConnection());
  EXPECT_EQ(Download("small.txt"), "s");

  struct TUnseekable : std::streambuf {
  } unseekable;
  std::istream in(&unseekable);
  EXPECT_THROW(client_.Put(in, "never.bin"), EFtpStreamError);
  EXPECT_FALSE(server_.Home().Exists("never.bin"));
  EXPECT_EQ(Download("small.txt"), "s");
}

TEST_F(FtpClientTest, LargeTransfersStreamWithFlatMemory) {
  client_.Settings().RecvBufferSize = client_.Settings().SendBufferSize = 4096;
  client_.Connect();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const long peak_before = usage.ru_maxrss;

  TPattern source, sink;
  std::istream in(&source);
  client_.Put(in, "big.bin");
  EXPECT_EQ(std::filesystem::file_size(server_.Home() / "big.bin"), TPattern::kSize);
  std::ostream out(&sink);
  client_.Get("big.bin", out);
  EXPECT_EQ(sink.position, TPattern::kSize);
  EXPECT_EQ(sink.mismatches, 0u);
  EXPECT_LE(std::max(source.largest, sink.largest), 4096);

  getrusage(RUSAGE_SELF, &usage);
  EXPECT_LT(usage.ru_maxrss - peak_before, 16 * 1024) << "kilobytes of peak memory grew";
}

TEST(FtpClientIpv6Test, ControlConnectionOverIpv6UsesEprt) {
  std::unique_ptr<TFtpTestServer> server;
  try {
    server = std::make_unique<TFtpTestServer>("::1");
  } catch (const std::exception&) {
    GTEST_SKIP() << "no IPv6 loopback here";
  }
  server->Home().CreateFile("six.txt", "over v6");
  TFtpClient client;
  Aim(client, *server);
  client.Connect();
  std::ostringstream out;
  client.Get("six.txt", out);
  EXPECT_EQ(out.str(), "over v6");
}

}  // namespace
}  // namespace ravelo
