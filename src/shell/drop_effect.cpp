#include "shell/drop_effect.h"

namespace ravelo {

TDropEffect ChooseEffect(bool has_files, int key_state, int allowed, bool all_on_file_system) {
  if (!has_files) return deNone;
  const bool can_copy = (allowed & deCopy) != 0;
  const bool can_move = (allowed & deMove) != 0;
  if ((key_state & kControlKey) != 0) return can_copy ? deCopy : deNone;
  if ((key_state & kShiftKey) != 0) return can_move ? deMove : deNone;
  if (can_copy && can_move) return all_on_file_system ? deMove : deCopy;
  if (can_copy) return deCopy;
  return can_move ? deMove : deNone;
}

TDragAction QueryContinueDrag(bool escape_pressed, int key_state) {
  if (escape_pressed || (key_state & kRightButton) != 0) return daCancel;
  return (key_state & kLeftButton) != 0 ? daContinue : daDrop;
}

}  // namespace ravelo
