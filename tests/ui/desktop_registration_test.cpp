#include "ui/desktop_registration.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "support/temp_dir.h"

namespace ravelo {
namespace {

TEST(DesktopRegistrationTest, WritesOnlyWhatIsMissingAndIgnoresFailingTools) {
  // The data folder is temporary; the database tools are stand-ins that
  // record their argument and fail. (Each test runs in a process of its own.)
  test::TTempDir dir;
  for (const char* tool : {"update-mime-database", "update-desktop-database"}) {
    const auto script =
        dir.CreateFile(std::string("bin/") + tool,
                       "#!/bin/sh\necho \"$1\" >> \"" + (dir / "calls").string() + "\"\nexit 1\n");
    ::chmod(script.c_str(), 0755);
  }
  ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
  ::setenv("PATH", (dir / "bin").c_str(), 1);

  const TRegistration first = RegisterProjectFileType("/opt/ravelo/bin/ravelo");
  EXPECT_TRUE(first.MimeTypeWritten && first.DesktopEntryWritten);
  const std::string mime = dir.ReadFile("data/mime/packages/ravelo.xml");
  EXPECT_NE(mime.find("<mime-type type=\"application/x-ravelo-project\">"), std::string::npos);
  EXPECT_NE(mime.find("<glob pattern=\"*.rvlp\"/>"), std::string::npos);
  const std::string entry = dir.ReadFile("data/applications/ravelo.desktop");
  EXPECT_NE(entry.find("\nExec=\"/opt/ravelo/bin/ravelo\" %f\n"), std::string::npos);
  EXPECT_NE(entry.find("\nMimeType=application/x-ravelo-project;\n"), std::string::npos);
  EXPECT_EQ(dir.ReadFile("calls"),
            (dir / "data/mime").string() + "\n" + (dir / "data/applications").string() + "\n");

  // The user's own entry stays; only the missing MIME type is written again.
  dir.CreateFile("data/applications/ravelo.desktop", "mine");
  std::filesystem::remove(dir / "data/mime/packages/ravelo.xml");
  const TRegistration second = RegisterProjectFileType("/elsewhere/ravelo");
  EXPECT_TRUE(second.MimeTypeWritten && !second.DesktopEntryWritten);
  EXPECT_EQ(dir.ReadFile("data/applications/ravelo.desktop"), "mine");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "data/applications"), {}), 1);
}

TEST(DesktopExecLineTest, QuotesThePathForTheEntry) {
  EXPECT_EQ(DesktopExecLine("/home/me/My Apps/ravelo"), "\"/home/me/My Apps/ravelo\" %f");
  EXPECT_EQ(DesktopExecLine("/a\"b$c`d"), "\"/a\\\\\"b\\\\$c\\\\`d\" %f");
  EXPECT_EQ(DesktopExecLine("/a\\b"), "\"/a\\\\\\\\b\" %f");
  EXPECT_EQ(DesktopExecLine("/100%/ravelo"), "\"/100%%/ravelo\" %f");
}

}  // namespace
}  // namespace ravelo
