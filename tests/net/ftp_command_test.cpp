// ravelo-ftp against a real FTP server (pyftpdlib on loopback).
#include "net/ftp_command.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>

#include "support/ftp_test_server.h"
#include "support/temp_dir.h"

namespace ravelo {
namespace {

using test::TFtpTestServer;

bool Contains(const std::string& text, const std::string& pattern) {
  return std::regex_search(text, std::regex(pattern, std::regex::multiline));
}

class FtpCommandTest : public ::testing::Test {
 protected:
  // Runs the command as the test server's user; keeps what it printed.
  int Run(std::vector<std::string> arguments, const char* password = TFtpTestServer::kPassword) {
    arguments.insert(arguments.begin(), {"-u", TFtpTestServer::kUser});
    std::ostringstream out, err;
    const int status = RunFtpCommand(
        arguments,
        [password](const char* name) {
          return std::string(name) == "RAVELO_FTP_PASSWORD" ? password : nullptr;
        },
        out, err);
    out_ = out.str();
    err_ = err.str();
    return status;
  }

  std::string Local(const std::string& name) const { return (local_ / name).string(); }

  TFtpTestServer server_;
  const std::string host_ = server_.HostPort();
  test::TTempDir local_;
  std::string out_;
  std::string err_;
};

TEST_F(FtpCommandTest, LsPrintsParsedItemsAndRawLsTheLines) {
  server_.Home().CreateFile("my file.txt", "1234567890");
  // A name's control characters are escaped, as ravelo-cli writes them.
  server_.Home().CreateFile("bell\a\\.txt", "x");
  server_.Home().CreateDir("sub");
  ASSERT_EQ(Run({host_, "ls"}), 0) << err_;
  // The server offers MLSD: times to the second.
  EXPECT_TRUE(Contains(out_, R"(^f 10 \d{4}-\d\d-\d\d \d\d:\d\d:\d\d my file\.txt$)")) << out_;
  EXPECT_TRUE(Contains(out_, R"(^d \d+ \d{4}-\d\d-\d\d \d\d:\d\d:\d\d sub$)")) << out_;
  EXPECT_TRUE(Contains(out_, R"(^f 1 .* bell\\x07\\\\\.txt$)")) << out_;
  EXPECT_EQ(err_, "");
  ASSERT_EQ(Run({host_, "raw-ls"}), 0);
  EXPECT_TRUE(Contains(out_, R"(^modify=.*type=file;.* my file\.txt$)")) << out_;
  EXPECT_TRUE(Contains(out_, R"( bell\\x07\\\\\.txt$)")) << out_;
  ASSERT_EQ(Run({"-C", "sub", host_, "ls"}), 0);
  EXPECT_EQ(out_, "");
}

TEST_F(FtpCommandTest, FileAndFolderCommands) {
  local_.CreateFile("a.txt", "a\r\nb");
  EXPECT_EQ(Run({host_, "mkdir", "new dir"}), 0) << err_;
  EXPECT_EQ(Run({"-C", "new dir", host_, "put", Local("a.txt"), "a.txt"}), 0) << err_;
  EXPECT_EQ(server_.Home().ReadFile("new dir/a.txt"), "a\r\nb");
  EXPECT_EQ(Run({host_, "mv", "new dir/a.txt", "b.txt"}), 0) << err_;
  EXPECT_EQ(Run({host_, "get", "b.txt", Local("b.txt")}), 0) << err_;
  EXPECT_EQ(local_.ReadFile("b.txt"), "a\r\nb");
  EXPECT_EQ(Run({"-a", host_, "get", "b.txt", Local("c.txt")}), 0) << err_;
  EXPECT_EQ(local_.ReadFile("c.txt"), "a\nb");
  EXPECT_EQ(Run({host_, "rm", "b.txt"}), 0) << err_;
  EXPECT_EQ(Run({host_, "rmdir", "new dir"}), 0) << err_;
  EXPECT_FALSE(server_.Home().Exists("b.txt"));
  EXPECT_FALSE(server_.Home().Exists("new dir"));
}

TEST_F(FtpCommandTest, FailuresGiveTheMessageAndStatusOne) {
  local_.CreateFile("keep.txt", "old content");
  EXPECT_EQ(Run({host_, "get", "missing.txt", Local("keep.txt")}), 1);
  EXPECT_EQ(err_, "No such file or directory.\n");
  // A failed download keeps the old local copy and leaves nothing else.
  EXPECT_EQ(local_.ReadFile("keep.txt"), "old content");
  const std::filesystem::directory_iterator entries(local_.Path());
  EXPECT_EQ(std::distance(begin(entries), end(entries)), 1);

  EXPECT_EQ(Run({host_, "ls"}, "wrong"), 1);
  EXPECT_EQ(err_, "Authentication failed.\n");
  // A missing file, or a folder, is refused before anything reaches the server.
  for (const std::string& source : {Local("none"), local_.PathString()}) {
    EXPECT_EQ(Run({host_, "put", source, "x"}), 1);
    EXPECT_NE(err_.find("Cannot Open Local File"), std::string::npos);
  }
  EXPECT_FALSE(server_.Home().Exists("x"));
  EXPECT_EQ(Run({"127.0.0.1:1", "ls"}), 1);
  EXPECT_EQ(err_, "Socket Error # 111\\nConnection refused.\n");
}

// The data mode and TLS flags; a certificate that does not verify is
// refused with its fingerprint, which --tls-fingerprint accepts.
TEST_F(FtpCommandTest, ModeAndTlsFlags) {
  test::TFtpTestServer::TOptions options;
  options.Tls = test::TFtpTestServer::kSelfSigned;
  test::TFtpTestServer secure(options);
  secure.Home().CreateFile("s.txt", "s");
  const std::string secure_host = secure.HostPort();
  EXPECT_EQ(Run({"--tls=require", host_, "ls"}), 1);
  EXPECT_EQ(err_, "TLS Required, But The Server Does Not Offer It.\n");
  EXPECT_EQ(Run({"--passive", "--tls=off", host_, "ls"}), 0) << err_;
  EXPECT_EQ(Run({secure_host, "ls"}), 1);
  EXPECT_NE(err_.find("SHA-256 Fingerprint: " + secure.Fingerprint()), std::string::npos) << err_;
  EXPECT_EQ(Run({"--active", "--tls-fingerprint", secure.Fingerprint(), secure_host, "ls"}), 0)
      << err_;
  EXPECT_TRUE(Contains(out_, R"(^f 1 .* s\.txt$)")) << out_;
}

TEST_F(FtpCommandTest, BadArgumentsShowTheUsage) {
  for (const auto& arguments :
       std::vector<std::vector<std::string>>{{host_},
                                             {host_, "get", "one"},
                                             {host_, "chmod", "x"},
                                             {"-x", host_, "ls"},
                                             {"-C"},
                                             {"--tls=maybe", host_, "ls"},
                                             {"--tls-fingerprint", "12:AB", host_, "ls"}}) {
    EXPECT_EQ(Run(arguments), 1);
    EXPECT_NE(err_.find("usage: ravelo-ftp"), std::string::npos) << err_;
  }
}

// The built program: exit status, output and the password from the environment.
TEST_F(FtpCommandTest, TheProgramWorksFromTheShell) {
  server_.Home().CreateFile("shell.txt", "hi");
  const auto shell = [&](std::string& output) {
    const std::string command =
        std::string(RAVELO_FTP_BINARY) + " -u " + TFtpTestServer::kUser + " " + host_ + " ls 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    output.clear();
    char buffer[256];
    while (pipe != nullptr && std::fgets(buffer, sizeof(buffer), pipe) != nullptr) output += buffer;
    return pipe != nullptr ? WEXITSTATUS(pclose(pipe)) : -1;
  };
  std::string output;
  setenv("RAVELO_FTP_PASSWORD", TFtpTestServer::kPassword, 1);
  EXPECT_EQ(shell(output), 0) << output;
  EXPECT_TRUE(
      std::regex_match(output, std::regex(R"(f 2 \d{4}-\d\d-\d\d \d\d:\d\d:\d\d shell\.txt\n)")))
      << output;
  unsetenv("RAVELO_FTP_PASSWORD");
  EXPECT_EQ(shell(output), 1);
  EXPECT_EQ(output, "Authentication failed.\n");
}

}  // namespace
}  // namespace ravelo
