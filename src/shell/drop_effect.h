#pragma once

namespace ravelo {

// What a drop does with the files. A set of allowed effects is their sum.
enum TDropEffect : int { deNone = 0, deCopy = 1, deMove = 2 };
inline constexpr int kCopyOrMove = deCopy | deMove;

// Key-state bits: mouse buttons and modifier keys held during a drag.
inline constexpr int kLeftButton = 1;
inline constexpr int kRightButton = 2;
inline constexpr int kShiftKey = 4;
inline constexpr int kControlKey = 8;

// The drag source's answer to "go on?" while a drag runs.
enum TDragAction : int { daContinue = 0, daDrop = 0x40100, daCancel = 0x40101 };

// The effect of a drop: none without files; control asks for copy, shift for
// move (none when the source does not allow it); with neither, a source that
// allows both gets move when every file is on the destination's file system
// and copy otherwise.
TDropEffect ChooseEffect(bool has_files, int key_state, int allowed, bool all_on_file_system);

// Escape or the right button cancels, the left button held continues, its
// release drops.
TDragAction QueryContinueDrag(bool escape_pressed, int key_state);

}  // namespace ravelo
