#include "shell/file_list_block.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace ravelo::test {
namespace {

using TPaths = std::vector<std::string>;

TEST(FileListBlockTest, LayoutSizesAndWideNames) {
  const std::string empty = EncodeFileList({});
  EXPECT_EQ(empty, std::string("\x14\0\0\0"
                               "\0\0\0\0"
                               "\0\0\0\0"
                               "\0\0\0\0"
                               "\0\0\0\0"
                               "\0",
                               21));
  const std::string two = EncodeFileList({"/c/a.txt", "/c/b"});
  EXPECT_EQ(two.size(), 35u);
  EXPECT_EQ(two.substr(20), std::string("/c/a.txt\0/c/b\0\0", 15));
  EXPECT_EQ(DecodeFileList(two), (TPaths{"/c/a.txt", "/c/b"}));
  EXPECT_TRUE(DecodeFileList(empty).empty());
  EXPECT_THROW(EncodeFileList({""}), std::invalid_argument);
  EXPECT_THROW(EncodeFileList({std::string("/a\0b", 4)}), std::invalid_argument);

  // Wide names give the same paths.
  const TPaths paths{"/tmp/caf\xC3\xA9 \xE6\x97\xA5", "/m\xF0\x9D\x84\x9E", "/b"};
  const std::string wide = EncodeFileList(paths, nwWide);
  EXPECT_NE(wide[16], '\0');
  EXPECT_EQ(wide.substr(wide.size() - 8), std::string("/\0b\0\0\0\0\0", 8));
  EXPECT_EQ(DecodeFileList(wide), paths);
}

TEST(FileListBlockTest, DamagedBlocksNeverReadOutside) {
  const std::string good = EncodeFileList({"/a", "/bc"});
  std::string offset_far = good;
  offset_far[0] = '\xFF', offset_far[3] = '\xFF';
  std::string offset_in_header = good;
  offset_in_header[0] = 4;
  std::string wide_odd = EncodeFileList({"/a"}, nwWide);
  wide_odd.resize(wide_odd.size() - 5);  // "/a" complete, its zero cut in half
  std::string lone_surrogate = EncodeFileList({}, nwWide);
  lone_surrogate.insert(20, std::string("\x00\xD8"
                                        "a\0\0\0",
                                        6));
  const struct {
    std::string block;
    TPaths paths;
  } cases[] = {
      {good.substr(0, 19), {}},
      {good.substr(0, 20), {}},
      {offset_far, {}},
      {offset_in_header, {}},
      {good.substr(0, good.size() - 2), {"/a"}},  // the last name lost its zero
      {good.substr(0, 20) + std::string("/a\0\0/b\0\0", 8), {"/a"}},
      {wide_odd, {}},
      {lone_surrogate,
       {"\xEF\xBF\xBD"
        "a"}},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeFileList(c.block), c.paths) << c.block.size();
}

}  // namespace
}  // namespace ravelo::test
