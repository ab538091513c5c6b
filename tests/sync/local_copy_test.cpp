#include "sync/local_copy.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <system_error>

#include "support/temp_dir.h"
#include "sync/syn_file.h"
#include "sync/syn_folder.h"

namespace ravelo {
namespace {

TEST(LocalCopyTest, NameCountsPastTakenNames) {
  const struct {
    std::string path;
    std::set<std::string> taken;
    std::string copy;
  } cases[] = {
      {"/s/index.html", {}, "/s/index (local).html"},
      {"/s/index.html",
       {"/s/index (local).html", "/s/index (local 2).html"},
       "/s/index (local 3).html"},
      {"/s/.htaccess", {}, "/s/ (local).htaccess"},
      {"/s/README", {}, "/s/README (local)"},
      {"/s/v1.2/README", {}, "/s/v1.2/README (local)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LocalCopyName(c.path, [&](const std::string& p) { return c.taken.count(p) > 0; }),
              c.copy);
  }
}

TEST(LocalCopyTest, RenamesInItsFolderPastEveryTakenName) {
  test::TTempDir dir;
  dir.CreateFile("s/index.html", "mine");
  dir.CreateDir("s/index (local).html");
  auto root = std::make_unique<TSynFolder>(nullptr, "");
  TSynFile& file = root->MakeChild<TSynFolder>("s").MakeChild<TSynFile>("index.html");

  EXPECT_EQ(RenameLocalCopy(dir.PathString(), file), "index (local 2).html");
  EXPECT_EQ(dir.ReadFile("s/index (local 2).html"), "mine");
  EXPECT_FALSE(dir.Exists("s/index.html"));
  // Nothing left to move: the system's error, nothing renamed.
  EXPECT_THROW(RenameLocalCopy(dir.PathString(), file), std::system_error);
  TNode::ReleaseRoot(std::move(root));
}

}  // namespace
}  // namespace ravelo
