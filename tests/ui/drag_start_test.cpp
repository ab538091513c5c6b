#include "ui/drag_start.h"

#include <gtest/gtest.h>

namespace ravelo {
namespace {

TEST(DragStartTest, FivePixelsAfterALeftPressOnLocalFilesStartOneDrag) {
  const struct {
    bool left, any, all_local;  // the press
    bool held;                  // the left button during the move
    int dx, dy;
    bool starts;
  } cases[] = {
      {true, true, true, true, 4, 4, false},  {true, true, true, true, 0, -5, true},
      {true, true, true, true, -5, 3, true},  {false, true, true, true, 9, 9, false},
      {true, false, true, true, 9, 9, false}, {true, true, false, true, 9, 9, false},
      {true, true, true, false, 9, 9, false},
  };
  for (const auto& c : cases) {
    TDragStart drag;
    drag.Press(c.left, c.any, c.all_local, 100, 100);
    EXPECT_EQ(drag.Move(c.held, 100 + c.dx, 100 + c.dy), c.starts) << c.dx << "," << c.dy;
    // One press starts one drag; a move without the button disarms; a short
    // move keeps it armed.
    const bool still_armed = c.left && c.any && c.all_local && c.held && !c.starts;
    EXPECT_EQ(drag.Move(true, 130, 130), still_armed);
  }
  TDragStart drag;
  drag.Press(true, true, true, 0, 0);
  drag.Release();
  EXPECT_FALSE(drag.Move(true, 50, 50));
}

}  // namespace
}  // namespace ravelo
