#include "model/list_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace ravelo {
namespace {

TEST(ListOrderTest, FoldersFirstThenCaptionsFoldingOnlyAsciiLetters) {
  struct TItem {
    bool folder;
    std::string caption;
  };
  std::vector<TItem> items{{false, "b.txt"},    {false, "_x"},    {true, "zeta"},
                           {false, "A.txt"},    {false, "a"},     {true, "Alpha"},
                           {false, "\xc3\xa9"}, {false, "Z.txt"}, {false, "10"}};
  std::sort(items.begin(), items.end(), [](const TItem& a, const TItem& b) {
    return CompareListItems(a.folder, a.caption, b.folder, b.caption) < 0;
  });
  std::vector<std::string> order;
  for (const TItem& item : items) order.push_back(item.caption);
  // Letters fold to upper case, so "_" (0x5F) sorts after them; bytes over
  // 0x7F after everything ASCII.
  EXPECT_EQ(order, (std::vector<std::string>{"Alpha", "zeta", "10", "a", "A.txt", "b.txt", "Z.txt",
                                             "_x", "\xc3\xa9"}));
  EXPECT_EQ(CompareListItems(false, "Index.HTML", false, "index.html"), 0);
}

}  // namespace
}  // namespace ravelo
