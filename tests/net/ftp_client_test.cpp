// The client against a real FTP server (pyftpdlib on loopback).
#include "net/ftp_client.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <filesystem>
#include <sstream>
#include <streambuf>
#include <thread>

#include "net/ftp_exceptions.h"
#include "support/ftp_test_server.h"

namespace ravelo {
namespace {

using test::TFtpTestServer;

int OpenDescriptors() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++count;
  }
  return count;
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

// Byte i of a generated file.
char PatternByte(std::uint64_t i) {
  return static_cast<char>((i * 2654435761u) >> 13);
}

// A source that makes its bytes as they are read: the upload never has the
// file in memory. Records the largest single read.
class TPatternSource : public std::streambuf {
 public:
  explicit TPatternSource(std::uint64_t size) : size_(size) {}
  std::streamsize largest_read = 0;

 protected:
  std::streamsize xsgetn(char* s, std::streamsize n) override {
    largest_read = std::max(largest_read, n);
    const auto count = static_cast<std::streamsize>(
        std::min<std::uint64_t>(static_cast<std::uint64_t>(n), size_ - position_));
    for (std::streamsize i = 0; i < count; ++i) s[i] = PatternByte(position_ + i);
    position_ += static_cast<std::uint64_t>(count);
    return count;
  }
  int_type underflow() override {
    if (position_ >= size_) return traits_type::eof();
    current_ = PatternByte(position_);
    setg(&current_, &current_, &current_ + 1);
    ++position_;
    return traits_type::to_int_type(current_);
  }
  pos_type seekoff(off_type off, std::ios::seekdir dir, std::ios::openmode) override {
    if (dir != std::ios::beg) return pos_type(off_type(-1));
    return seekpos(pos_type(off), std::ios::in);
  }
  pos_type seekpos(pos_type pos, std::ios::openmode) override {
    position_ = static_cast<std::uint64_t>(static_cast<off_type>(pos));
    setg(nullptr, nullptr, nullptr);
    return pos;
  }

 private:
  std::uint64_t size_;
  std::uint64_t position_ = 0;
  char current_ = 0;
};

// A destination that checks the bytes against the pattern as they arrive
// and keeps none of them.
class TPatternSink : public std::streambuf {
 public:
  std::uint64_t count = 0;
  std::uint64_t mismatches = 0;
  std::streamsize largest_write = 0;

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    largest_write = std::max(largest_write, n);
    for (std::streamsize i = 0; i < n; ++i) {
      if (s[i] != PatternByte(count + static_cast<std::uint64_t>(i))) ++mismatches;
    }
    count += static_cast<std::uint64_t>(n);
    return n;
  }
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char byte = traits_type::to_char_type(c);
    xsputn(&byte, 1);
    return c;
  }
};

class FtpClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TFtpSettings& settings = client_.Settings();
    settings.Host = server_.HostPort();
    settings.Username = TFtpTestServer::kUser;
    settings.Password = TFtpTestServer::kPassword;
    settings.ReadTimeout = std::chrono::seconds(10);
    settings.AcceptTimeout = std::chrono::seconds(10);
    settings.TransferTimeout = std::chrono::seconds(10);
  }

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
  EXPECT_TRUE(client_.Connected());
  EXPECT_EQ(client_.Greeting().NumericCode, 220);
  EXPECT_EQ(client_.SystemDesc(), "UNIX Type: L8");
  EXPECT_THROW(client_.Connect(), EFtpAlreadyConnected);
  client_.Quit();
  EXPECT_FALSE(client_.Connected());
  EXPECT_THROW(client_.ChangeDir("/"), EFtpNotConnected);
  // A client connects again after quitting.
  client_.Connect();
  EXPECT_TRUE(client_.Connected());
}

TEST_F(FtpClientTest, WrongPasswordFailsWith530AndStaysDisconnected) {
  client_.Settings().Password = "wrong";
  EXPECT_EQ(ReplyCodeOf([&] { client_.Connect(); }), 530);
  EXPECT_FALSE(client_.Connected());
}

TEST_F(FtpClientTest, RefusedConnectionIsASocketError) {
  client_.Settings().Host = "127.0.0.1:1";
  try {
    client_.Connect();
    FAIL() << "connected to a closed port";
  } catch (const EFtpSocketError& error) {
    EXPECT_EQ(std::string(error.what()), "Socket Error # 111\nConnection refused.");
  }
  EXPECT_FALSE(client_.Connected());
}

TEST_F(FtpClientTest, DirectoryCommandsChangeTheServerTree) {
  client_.Connect();
  client_.MakeDir("new folder");
  EXPECT_TRUE(std::filesystem::is_directory(server_.Home() / "new folder"));
  client_.ChangeDir("new folder");
  Upload("x", "file one.txt");
  client_.Rename("file one.txt", "file two.txt");
  EXPECT_TRUE(server_.Home().Exists("new folder/file two.txt"));
  client_.Delete("file two.txt");
  EXPECT_FALSE(server_.Home().Exists("new folder/file two.txt"));
  client_.ChangeDir("/");
  client_.RemoveDir("new folder");
  EXPECT_FALSE(server_.Home().Exists("new folder"));

  EXPECT_EQ(ReplyCodeOf([&] { client_.ChangeDir("missing"); }), 550);
  EXPECT_EQ(ReplyCodeOf([&] { client_.Delete("missing"); }), 550);
  EXPECT_EQ(ReplyCodeOf([&] { client_.RemoveDir("missing"); }), 550);
  EXPECT_EQ(ReplyCodeOf([&] { client_.Rename("missing", "other"); }), 550);
  // After refusals the connection goes on as before.
  client_.MakeDir("still works");
  EXPECT_TRUE(client_.Connected());
}

TEST_F(FtpClientTest, ListGivesRawLinesAndParsedItems) {
  server_.Home().CreateFile("docs/a.txt", "12345");
  server_.Home().CreateDir("docs/sub folder");
  client_.Connect();
  client_.ChangeDir("docs");
  std::vector<std::string> lines;
  client_.List(lines);
  EXPECT_EQ(lines.size(), 2u);
  EXPECT_EQ(client_.ListResult(), lines);
  const TFtpListItems& items = client_.DirectoryListing();
  EXPECT_EQ(&items, &client_.DirectoryListing());  // parsed once
  EXPECT_EQ(items.ListFormat(), flfUnix);
  ASSERT_EQ(items.Count(), 2u);
  const TFtpListItem& file = items.Items(0).FileName == "a.txt" ? items.Items(0) : items.Items(1);
  const TFtpListItem& folder = &file == &items.Items(0) ? items.Items(1) : items.Items(0);
  EXPECT_EQ(file.FileName, "a.txt");
  EXPECT_EQ(file.ItemType, itFile);
  EXPECT_EQ(file.Size, 5);
  EXPECT_GT(file.ModifiedDate, 40000.0);
  EXPECT_EQ(folder.FileName, "sub folder");
  EXPECT_EQ(folder.ItemType, itDirectory);

  client_.ChangeDir("sub folder");
  client_.List(lines);
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(client_.DirectoryListing().Count(), 0u);
}

TEST_F(FtpClientTest, BinaryTransfersKeepEveryByte) {
  std::string all_bytes;
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 256; ++i) all_bytes += static_cast<char>(i);
    all_bytes += "\r\n\n\r";
  }
  client_.Connect();
  Upload(all_bytes, "bytes.bin");
  EXPECT_EQ(server_.Home().ReadFile("bytes.bin"), all_bytes);
  EXPECT_EQ(Download("bytes.bin"), all_bytes);
  Upload("", "empty.bin");
  EXPECT_EQ(server_.Home().ReadFile("empty.bin"), "");
  EXPECT_EQ(Download("empty.bin"), "");
}

TEST_F(FtpClientTest, AsciiTransfersConvertLineEnds) {
  server_.Home().CreateFile("server.txt", "one\ntwo\n\nthree");
  client_.SetTransferType(ftASCII);
  client_.Connect();
  // On the wire the lines end in CR LF; locally in LF again.
  EXPECT_EQ(Download("server.txt"), "one\ntwo\n\nthree");
  Upload("local\nlines\n", "local.txt");
  EXPECT_EQ(server_.Home().ReadFile("local.txt"), "local\nlines\n");
  client_.SetTransferType(ftBinary);
  EXPECT_EQ(Download("server.txt"), "one\ntwo\n\nthree");
}

TEST_F(FtpClientTest, NamesWithBlanksAreSentAsTheyAre) {
  client_.Connect();
  Upload("content", " lead and  inner blanks.txt");
  EXPECT_TRUE(server_.Home().Exists(" lead and  inner blanks.txt"));
  EXPECT_EQ(Download(" lead and  inner blanks.txt"), "content");
  // A name with a line break would smuggle a second command: refused.
  EXPECT_THROW(Upload("x", "a\r\nDELE other"), EFtpInvalidName);
  EXPECT_THROW(client_.Delete(std::string("a\0b", 3)), EFtpInvalidName);
  EXPECT_TRUE(client_.Connected());
}

TEST_F(FtpClientTest, RefusedTransferLeavesNoDataConnectionBehind) {
  client_.Connect();
  Upload("x", "present.txt");
  const int before = OpenDescriptors();
  std::ostringstream out;
  out << "kept";
  EXPECT_EQ(ReplyCodeOf([&] { client_.Get("missing.txt", out); }), 550);
  EXPECT_EQ(out.str(), "kept");
  EXPECT_EQ(ReplyCodeOf([&] { Upload("x", "no/such/folder.txt"); }), 550);
  EXPECT_FALSE(client_.HasDataConnection());
  EXPECT_EQ(OpenDescriptors(), before);
  // The control connection is as it was.
  EXPECT_EQ(Download("present.txt"), "x");
  EXPECT_EQ(OpenDescriptors(), before);
}

// A full disk or an unreadable source fails the transfer; the server learns
// that the data is incomplete and the connection stays in step.
TEST_F(FtpClientTest, FailingLocalStreamsFailTheTransfer) {
  server_.Home().CreateFile("big.bin", std::string(8 * 1024 * 1024, 'b'));
  server_.Home().CreateFile("small.txt", "s");
  client_.Connect();
  struct TFullDisk : std::streambuf {
    std::streamsize room = 100000;
    std::streamsize xsputn(const char*, std::streamsize n) override {
      const std::streamsize taken = std::min(n, room);
      room -= taken;
      return taken;
    }
  } full_disk;
  std::ostream out(&full_disk);
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

TEST_F(FtpClientTest, HundredMegabytesStreamWithFlatMemory) {
  constexpr std::uint64_t kSize = 100ull * 1024 * 1024;
  client_.Settings().RecvBufferSize = 4096;
  client_.Settings().SendBufferSize = 4096;
  client_.Connect();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const long peak_before = usage.ru_maxrss;

  TPatternSource source(kSize);
  std::istream in(&source);
  client_.Put(in, "big.bin");
  EXPECT_EQ(std::filesystem::file_size(server_.Home() / "big.bin"), kSize);
  EXPECT_LE(source.largest_read, 4096);

  TPatternSink sink;
  std::ostream out(&sink);
  client_.Get("big.bin", out);
  EXPECT_EQ(sink.count, kSize);
  EXPECT_EQ(sink.mismatches, 0u);
  EXPECT_LE(sink.largest_write, 4096);

  getrusage(RUSAGE_SELF, &usage);
  EXPECT_LT(usage.ru_maxrss - peak_before, 16 * 1024) << "kilobytes of peak memory grew";
}

void ConfigureFor(TFtpClient& client, const TFtpTestServer& server) {
  client.Settings().Host = server.HostPort();
  client.Settings().Username = TFtpTestServer::kUser;
  client.Settings().Password = TFtpTestServer::kPassword;
  client.Settings().ReadTimeout = std::chrono::seconds(10);
}

TEST(FtpClientLostServerTest, ServerGoneIsAClosedConnection) {
  auto server = std::make_unique<TFtpTestServer>();
  TFtpClient client;
  ConfigureFor(client, *server);
  client.Connect();
  server.reset();
  EXPECT_THROW(client.ChangeDir("/"), EFtpConnClosed);
  EXPECT_FALSE(client.Connected());
}

// A disconnect from another thread, as the server object does it, ends a
// transfer in progress with an error, never with success or a hang.
TEST_F(FtpClientTest, AbortAndQuitFromAnotherThreadEndATransfer) {
  server_.Home().CreateFile("big.bin", std::string(8 * 1024 * 1024, 'b'));
  client_.Connect();
  struct TSlowSink : std::streambuf {
    std::atomic<std::uint64_t> count{0};
    std::streamsize xsputn(const char*, std::streamsize n) override {
      count += static_cast<std::uint64_t>(n);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      return n;
    }
  } sink;
  std::ostream out(&sink);
  std::atomic<bool> failed{false};
  std::thread transfer([&] {
    try {
      client_.Get("big.bin", out);
    } catch (const EFtp&) {
      failed = true;
    }
  });
  while (sink.count == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  try {
    client_.Abort();
    client_.Quit();
  } catch (const EFtp&) {
  }
  client_.Disconnect();
  transfer.join();
  EXPECT_TRUE(failed);
  EXPECT_LT(sink.count, 8u * 1024 * 1024);
  EXPECT_FALSE(client_.Connected());
  EXPECT_FALSE(client_.HasDataConnection());
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
  ConfigureFor(client, *server);
  client.Connect();
  std::ostringstream out;
  client.Get("six.txt", out);
  EXPECT_EQ(out.str(), "over v6");
  std::vector<std::string> lines;
  client.List(lines);
  EXPECT_EQ(lines.size(), 1u);
}

}  // namespace
}  // namespace ravelo
