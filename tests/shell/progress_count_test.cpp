#include "shell/progress_count.h"

#include <gtest/gtest.h>

namespace ravelo::test {
namespace {

TEST(ProgressCountTest, PositionOverAllFiles) {
  TProgressCount progress;
  progress.Start(300);
  std::vector<int> positions;
  for (int file = 0; file < 3; ++file) {
    progress.NextFile();
    progress.Advance(40);
    progress.Advance(100);
    progress.Advance(100);  // the same count again advances nothing
    positions.push_back(progress.Position());
  }
  EXPECT_EQ(positions, (std::vector<int>{33, 67, 100}));
  EXPECT_EQ(progress.Done(), 300);
  progress.NextFile();
  progress.Advance(600);  // a move that had to copy after all
  EXPECT_EQ(progress.Position(), 100);

  progress.Start(0);
  progress.Advance(10);
  EXPECT_EQ(progress.Position(), 0);
  progress.Start(8);
  progress.Advance(1);  // 12.5 rounds to even
  EXPECT_EQ(progress.Position(), 12);
}

}  // namespace
}  // namespace ravelo::test
