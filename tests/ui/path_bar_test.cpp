#include "ui/path_bar.h"

#include <gtest/gtest.h>

#include "sync/syn_folder.h"

namespace ravelo {
namespace {

TEST(PathBarTest, RootThenEachFolderDownToTheShownOne) {
  auto root = std::make_unique<TSynFolder>(nullptr, "");
  TSynFolder& a = root->MakeChild<TSynFolder>("a");
  TSynFolder& b = a.MakeChild<TSynFolder>("b b");
  TSynFolder& c = b.MakeChild<TSynFolder>("c");
  EXPECT_EQ(PathBarCaptions(*root, ""), std::vector<std::string>{"/"});
  EXPECT_EQ(PathBarCaptions(c, "example.com:2121"),
            (std::vector<std::string>{"example.com:2121/", "a", "b b", "c"}));
  EXPECT_EQ(PathButtonLevelsUp(4, 0), 3);  // the root button opens the root
  EXPECT_EQ(PathButtonLevelsUp(4, 3), 0);  // the shown folder again
  TNode::ReleaseRoot(std::move(root));
}

}  // namespace
}  // namespace ravelo
