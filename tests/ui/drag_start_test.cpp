#include "ui/drag_start.h"

#include <gtest/gtest.h>

namespace ravelo {
namespace {

TEST(DragStartTest, FivePixelsWithTheLeftButtonStartOneDrag) {
  const struct {
    int dx, dy;
    bool starts;
  } moves[] = {{4, 0, false}, {0, -4, false}, {4, 4, false},
               {5, 0, true},  {0, -5, true},  {-5, 3, true}};
  for (const auto& m : moves) {
    TDragStart drag;
    drag.Press(true, true, true, 100, 100);
    EXPECT_EQ(drag.Move(true, 100 + m.dx, 100 + m.dy), m.starts) << m.dx << "," << m.dy;
    EXPECT_FALSE(drag.Move(true, 120, 120) && m.starts);  // one press, one drag
  }
}

TEST(DragStartTest, OnlyALeftPressOnLocalFilesArms) {
  const struct {
    bool left, any, all_local;
  } presses[] = {{false, true, true}, {true, false, true}, {true, true, false}};
  for (const auto& p : presses) {
    TDragStart drag;
    drag.Press(p.left, p.any, p.all_local, 0, 0);
    EXPECT_FALSE(drag.Move(true, 50, 50));
  }
  TDragStart drag;
  drag.Press(true, true, true, 0, 0);
  EXPECT_FALSE(drag.Move(false, 1, 1));  // moving without the button disarms
  EXPECT_FALSE(drag.Move(true, 50, 50));
  drag.Press(true, true, true, 0, 0);
  drag.Release();
  EXPECT_FALSE(drag.Move(true, 50, 50));
}

}  // namespace
}  // namespace ravelo
