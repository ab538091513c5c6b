#include "sync/line_diff.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"
#include "sync/copy_compare.h"

namespace ravelo {
namespace {

// The script drawn as one letter per line: "=" same, "-" removed, "+" added.
std::string Drawn(const std::vector<TDiffLine>& script) {
  std::string drawn;
  for (const TDiffLine& line : script)
    drawn += line.Kind == TDiffKind::Same ? '=' : line.Kind == TDiffKind::Removed ? '-' : '+';
  return drawn;
}

// Applies the script to left and checks that it yields right, in order.
void ExpectReplays(const std::vector<std::string_view>& left,
                   const std::vector<std::string_view>& right,
                   const std::vector<TDiffLine>& script) {
  std::vector<std::string_view> built;
  std::size_t next_left = 0;
  for (const TDiffLine& line : script) {
    if (line.Kind == TDiffKind::Added) {
      built.push_back(right.at(line.Right));
      continue;
    }
    EXPECT_EQ(line.Left, next_left++);
    if (line.Kind == TDiffKind::Same) {
      EXPECT_EQ(left.at(line.Left), right.at(line.Right));
      built.push_back(left[line.Left]);
    }
  }
  EXPECT_EQ(next_left, left.size());
  EXPECT_EQ(built, right);
}

TEST(LineDiffTest, ShortestScriptsThatReplay) {
  const struct {
    std::string left;
    std::string right;
    std::size_t edits;  // removed + added lines of a shortest script
  } cases[] = {
      {"", "", 0},
      {"a\nb\n", "a\nb\n", 0},
      {"", "a\nb", 2},
      {"a\nb\n", "", 2},
      {"a\nb\nc\n", "a\nx\nc\n", 2},
      {"a\nb\nc\nd\n", "b\nc\nd\ne\n", 2},
      {"a\nb\nc\na\nb\nb\na\n", "c\nb\na\nb\na\nc\n", 5},
      {"x\ny\n", "p\nq\nr\n", 5},
      {"a\nb\na\nb\n", "b\na\nb\na\n", 2},
  };
  for (const auto& c : cases) {
    const auto left = SplitLines(c.left);
    const auto right = SplitLines(c.right);
    const auto script = DiffLines(left, right);
    std::size_t edits = 0;
    for (const TDiffLine& line : script) edits += line.Kind != TDiffKind::Same;
    EXPECT_EQ(edits, c.edits) << c.left << "|" << c.right << " " << Drawn(script);
    ExpectReplays(left, right, script);
  }
}

TEST(LineDiffTest, LinesEndWithLfOrCrLf) {
  EXPECT_EQ(SplitLines("a\r\nb\n\nc"), (std::vector<std::string_view>{"a", "b", "", "c"}));
  EXPECT_EQ(SplitLines("a\r"), (std::vector<std::string_view>{"a\r"}));
}

TEST(LineDiffTest, RemovedRunsPairWithTheAddedRunAfterThem) {
  const auto script = DiffLines(SplitLines("a\nb\nc\nd\n"), SplitLines("a\nx\nd\ny\n"));
  EXPECT_EQ(Drawn(script), "=--+=+");
  EXPECT_EQ(SideBySide(script), (std::vector<TCompareRow>{{TRowKind::Same, 0, 0},
                                                          {TRowKind::Changed, 1, 1},
                                                          {TRowKind::Removed, 2, std::nullopt},
                                                          {TRowKind::Same, 3, 2},
                                                          {TRowKind::Added, std::nullopt, 3}}));
}

TEST(LineDiffTest, CopiesCompareAsTextOrBinary) {
  test::TTempDir dir;
  auto write = [&](const std::string& name, const std::string& content) {
    return dir.CreateFile(name, content).string();
  };
  const std::string text = write("a.txt", "one\ntwo\n");
  const std::string other = write("b.txt", "one\n2\n");
  const std::string binary = write("c.bin", std::string("PNG\0\1", 5));

  const TCopyComparison same = CompareCopies(text, text);
  EXPECT_FALSE(same.Differ);
  EXPECT_EQ(same.Rows.size(), 2U);
  const TCopyComparison changed = CompareCopies(text, other);
  EXPECT_TRUE(changed.Differ);
  EXPECT_FALSE(changed.Binary);
  EXPECT_EQ(changed.Rows.back(), (TCompareRow{TRowKind::Changed, 1, 1}));
  const TCopyComparison bytes = CompareCopies(text, binary);
  EXPECT_TRUE(bytes.Binary && bytes.Differ && bytes.Rows.empty());
  EXPECT_EQ(bytes.LeftSize, 8);
  EXPECT_EQ(bytes.RightSize, 5);
  EXPECT_THROW(CompareCopies(text, (dir / "missing").string()), std::runtime_error);
}

}  // namespace
}  // namespace ravelo
