#include "ui/drag_start.h"

#include <cstdlib>

namespace ravelo {

void TDragStart::Press(bool left_button, bool any_selected, bool all_selected_local, int x, int y) {
  armed_ = left_button && any_selected && all_selected_local;
  x_ = x;
  y_ = y;
}

bool TDragStart::Move(bool left_button_held, int x, int y) {
  if (!left_button_held) {
    armed_ = false;
    return false;
  }
  if (!armed_ || (std::abs(x - x_) < kDistance && std::abs(y - y_) < kDistance)) return false;
  armed_ = false;
  return true;
}

}  // namespace ravelo
