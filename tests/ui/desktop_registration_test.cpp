#include "ui/desktop_registration.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <optional>

#include "support/temp_dir.h"

namespace ravelo {
namespace {

// Points XDG_DATA_HOME at a temporary folder and PATH at stand-ins for the
// database tools, which record their argument and then fail.
class DesktopRegistrationTest : public ::testing::Test {
 protected:
  DesktopRegistrationTest() {
    for (const char* tool : {"update-mime-database", "update-desktop-database"}) {
      const auto script =
          dir.CreateFile(std::string("bin/") + tool, "#!/bin/sh\necho \"$1\" >> \"" +
                                                         (dir / "calls").string() + "\"\nexit 1\n");
      ::chmod(script.c_str(), 0755);
    }
    saved_path_ = std::getenv("PATH");
    if (const char* data_home = std::getenv("XDG_DATA_HOME")) saved_data_home_ = data_home;
    ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    ::setenv("PATH", (dir / "bin").c_str(), 1);
  }
  ~DesktopRegistrationTest() override {
    ::setenv("PATH", saved_path_.c_str(), 1);
    if (saved_data_home_)
      ::setenv("XDG_DATA_HOME", saved_data_home_->c_str(), 1);
    else
      ::unsetenv("XDG_DATA_HOME");
  }

  std::string Calls() const { return dir.Exists("calls") ? dir.ReadFile("calls") : ""; }

  test::TTempDir dir;

 private:
  std::string saved_path_;
  std::optional<std::string> saved_data_home_;
};

TEST_F(DesktopRegistrationTest, WritesOnlyWhatIsMissingAndIgnoresFailingTools) {
  const TRegistration first = RegisterProjectFileType("/opt/ravelo/bin/ravelo");
  EXPECT_TRUE(first.MimeTypeWritten && first.DesktopEntryWritten);
  const std::string mime = dir.ReadFile("data/mime/packages/ravelo.xml");
  EXPECT_NE(mime.find("<mime-type type=\"application/x-ravelo-project\">"), std::string::npos);
  EXPECT_NE(mime.find("<glob pattern=\"*.rvlp\"/>"), std::string::npos);
  const std::string entry = dir.ReadFile("data/applications/ravelo.desktop");
  EXPECT_NE(entry.find("\nExec=\"/opt/ravelo/bin/ravelo\" %f\n"), std::string::npos);
  EXPECT_NE(entry.find("\nMimeType=application/x-ravelo-project;\n"), std::string::npos);
  EXPECT_EQ(Calls(),
            (dir / "data/mime").string() + "\n" + (dir / "data/applications").string() + "\n");

  // The user's own entry stays; only the missing MIME type is written again.
  dir.CreateFile("data/applications/ravelo.desktop", "mine");
  std::filesystem::remove(dir / "data/mime/packages/ravelo.xml");
  const TRegistration second = RegisterProjectFileType("/elsewhere/ravelo");
  EXPECT_TRUE(second.MimeTypeWritten);
  EXPECT_FALSE(second.DesktopEntryWritten);
  EXPECT_EQ(dir.ReadFile("data/applications/ravelo.desktop"), "mine");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "data/applications"), {}), 1);

  const TRegistration third = RegisterProjectFileType("/opt/ravelo/bin/ravelo");
  EXPECT_FALSE(third.MimeTypeWritten || third.DesktopEntryWritten);
}

TEST(DesktopExecLineTest, QuotesThePathForTheEntry) {
  EXPECT_EQ(DesktopExecLine("/home/me/My Apps/ravelo"), "\"/home/me/My Apps/ravelo\" %f");
  EXPECT_EQ(DesktopExecLine("/a\"b$c`d"), "\"/a\\\\\"b\\\\$c\\\\`d\" %f");
  EXPECT_EQ(DesktopExecLine("/a\\b"), "\"/a\\\\\\\\b\" %f");
  EXPECT_EQ(DesktopExecLine("/100%/ravelo"), "\"/100%%/ravelo\" %f");
}

}  // namespace
}  // namespace ravelo
