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

class FtpCommandTest : public ::testing::Test {
 protected:
  // Runs the command with the test server's password; keeps what it printed.
  int Run(std::vector<std::string> arguments, const char* password = TFtpTestServer::kPassword) {
    arguments.insert(arguments.begin(), {"-u", TFtpTestServer::kUser});
    std::ostringstream out;
    std::ostringstream err;
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

  TFtpTestServer server_;
  test::TTempDir local_;
  std::string out_;
  std::string err_;
};

TEST_F(FtpCommandTest, LsPrintsOneLinePerItem) {
  server_.Home().CreateFile("my file.txt", "1234567890");
  server_.Home().CreateDir("sub");
  ASSERT_EQ(Run({server_.HostPort(), "ls"}), 0) << err_;
  const std::regex file_line(R"(f 10 \d{4}-\d\d-\d\d \d\d:\d\d my file\.txt\n)");
  const std::regex folder_line(R"(d \d+ \d{4}-\d\d-\d\d \d\d:\d\d sub\n)");
  EXPECT_TRUE(std::regex_search(out_, file_line)) << out_;
  EXPECT_TRUE(std::regex_search(out_, folder_line)) << out_;
  EXPECT_EQ(err_, "");

  ASSERT_EQ(Run({server_.HostPort(), "raw-ls"}), 0);
  EXPECT_TRUE(std::regex_search(out_, std::regex(R"(^-rw.* my file\.txt$)", std::regex::multiline)))
      << out_;
}

TEST_F(FtpCommandTest, GetAndPutMoveFilesBothWays) {
  server_.Home().CreateFile("in dir/remote.bin", std::string("a\r\nb\0c", 6));
  const std::string local = (local_ / "copy.bin").string();
  ASSERT_EQ(Run({"-C", "in dir", server_.HostPort(), "get", "remote.bin", local}), 0) << err_;
  EXPECT_EQ(local_.ReadFile("copy.bin"), std::string("a\r\nb\0c", 6));

  ASSERT_EQ(Run({"-C", "in dir", server_.HostPort(), "put", local, "back.bin"}), 0) << err_;
  EXPECT_EQ(server_.Home().ReadFile("in dir/back.bin"), std::string("a\r\nb\0c", 6));

  local_.CreateFile("text.txt", "one\ntwo\n");
  ASSERT_EQ(Run({"-a", server_.HostPort(), "put", (local_ / "text.txt").string(), "t.txt"}), 0);
  ASSERT_EQ(Run({"-a", server_.HostPort(), "get", "t.txt", (local_ / "t2.txt").string()}), 0);
  EXPECT_EQ(local_.ReadFile("t2.txt"), "one\ntwo\n");
}

TEST_F(FtpCommandTest, FailedGetKeepsTheOldLocalCopyAndLeavesNothingElse) {
  local_.CreateFile("keep.txt", "old content");
  EXPECT_EQ(Run({server_.HostPort(), "get", "missing.txt", (local_ / "keep.txt").string()}), 1);
  EXPECT_EQ(err_, "No such file or directory.\n");
  EXPECT_EQ(local_.ReadFile("keep.txt"), "old content");
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(local_.Path())) {
    ++entries;
  }
  EXPECT_EQ(entries, 1);
}

TEST_F(FtpCommandTest, FolderAndFileCommands) {
  server_.Home().CreateFile("a.txt", "x");
  EXPECT_EQ(Run({server_.HostPort(), "mkdir", "new dir"}), 0) << err_;
  EXPECT_EQ(Run({server_.HostPort(), "mv", "a.txt", "new dir/b.txt"}), 0) << err_;
  EXPECT_TRUE(server_.Home().Exists("new dir/b.txt"));
  EXPECT_EQ(Run({"-C", "new dir", server_.HostPort(), "rm", "b.txt"}), 0) << err_;
  EXPECT_EQ(Run({server_.HostPort(), "rmdir", "new dir"}), 0) << err_;
  EXPECT_FALSE(server_.Home().Exists("new dir"));
  EXPECT_EQ(Run({server_.HostPort(), "rm", "gone.txt"}), 1);
  EXPECT_FALSE(err_.empty());
}

TEST_F(FtpCommandTest, FailuresGiveTheMessageAndStatusOne) {
  EXPECT_EQ(Run({server_.HostPort(), "ls"}, "wrong"), 1);
  EXPECT_EQ(err_, "Authentication failed.\n");
  EXPECT_EQ(Run({server_.HostPort(), "put", (local_ / "none").string(), "x"}), 1);
  EXPECT_NE(err_.find("Cannot Open Local File"), std::string::npos);
  EXPECT_EQ(Run({"127.0.0.1:1", "ls"}), 1);
  EXPECT_EQ(err_, "Socket Error # 111\nConnection refused.\n");
}

TEST_F(FtpCommandTest, BadArgumentsShowTheUsage) {
  for (const auto& arguments :
       std::vector<std::vector<std::string>>{{server_.HostPort()},
                                             {server_.HostPort(), "get", "one"},
                                             {server_.HostPort(), "chmod", "x"},
                                             {"-x", server_.HostPort(), "ls"},
                                             {"-C"}}) {
    EXPECT_EQ(Run(arguments), 1);
    EXPECT_NE(err_.find("usage: ravelo-ftp"), std::string::npos) << err_;
  }
}

// The built program: exit status, output and the password from the environment.
TEST_F(FtpCommandTest, TheProgramWorksFromTheShell) {
  server_.Home().CreateFile("shell.txt", "hi");
  setenv("RAVELO_FTP_PASSWORD", TFtpTestServer::kPassword, 1);
  const std::string command = std::string(RAVELO_FTP_BINARY) + " -u " + TFtpTestServer::kUser +
                              " " + server_.HostPort() + " ls 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[256];
  while (std::fgets(buffer, sizeof(buffer), pipe) != nullptr) output += buffer;
  const int status = pclose(pipe);
  EXPECT_EQ(WEXITSTATUS(status), 0) << output;
  EXPECT_TRUE(std::regex_match(output, std::regex(R"(f 2 \d{4}-\d\d-\d\d \d\d:\d\d shell\.txt\n)")))
      << output;

  unsetenv("RAVELO_FTP_PASSWORD");
  pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  output.clear();
  while (std::fgets(buffer, sizeof(buffer), pipe) != nullptr) output += buffer;
  EXPECT_EQ(WEXITSTATUS(pclose(pipe)), 1);
  EXPECT_EQ(output, "Authentication failed.\n");
}

}  // namespace
}  // namespace ravelo
