#pragma once
// On request (-m), how much of the report the screen could not show: the last
// row ends with " +N hidden ", so a wall that looks calm on its right-hand
// side says whether labels were lost beyond it.
#include <array>

#include "common/frame.h"

// Room for the note's text with any count. The frame's label points into it,
// so it must outlive the painting of the frame.
struct HiddenNoteText {
  std::array<char, 24> bytes{};
};

// When labels of the report fell beyond the right edge (frame.hidden_labels),
// lays " +N hidden " over the end of the last row, white on red and bold, its
// last character in the last column; on a screen narrower than the note, its
// right-hand part. Nothing when everything fitted.
void put_hidden_note(Frame& frame, HiddenNoteText& text);
