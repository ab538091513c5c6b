#pragma once

namespace ravelo {

// When a press and move on the file list start dragging the selected files
// out: a left press on a selection whose items all have a local copy arms
// it; moving 5 pixels or more in either direction with the left button held
// starts the drag; a move without the left button or the release disarms it.
// GUI thread only.
class TDragStart {
 public:
  static constexpr int kDistance = 5;

  void Press(bool left_button, bool any_selected, bool all_selected_local, int x, int y);
  // True when the drag is to start now; it disarms, so one press starts one drag.
  bool Move(bool left_button_held, int x, int y);
  void Release() { armed_ = false; }
  // A press has armed it and no move has started or disarmed it yet.
  bool Armed() const { return armed_; }

 private:
  bool armed_ = false;
  int x_ = 0;
  int y_ = 0;
};

}  // namespace ravelo
