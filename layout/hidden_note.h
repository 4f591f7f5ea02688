#pragma once
// The last row's notes. Always, when rows of the page could not be read:
// " N unread ", so that a wall is never calm while the server lists a
// problem it could not read. On request (-m), how much of the report the screen
// could not show: the last row ends with " +N hidden ", so a wall that looks
// calm on its right-hand side says whether labels were lost beyond it. On
// request (-u), the time of the fetch shown, just left of that note, so a
// wall that looks calm says that it is alive.
#include <string_view>

#include "layout/frame.h"

// When labels of the report cannot be read (frame.hidden_labels), lays
// " +N hidden " over the end of the last row, white on red and bold, its
// last character in the last column; on a screen narrower than the note, its
// right-hand part. Nothing when everything fitted. A label whose text the
// note covers whole counts as hidden too.
void put_hidden_note(Frame& frame);

// The same with the clock's text (" HH:MM:SS "; nothing when empty) in the
// background's colours immediately left of the note, or at the end of the
// last row when there is no note; of the clock, what fits left of the note.
// The note is there only when show_hidden is set. Labels whose text the two
// cover whole count as hidden, and frame.hidden_labels is the count the note
// shows. The frame keeps copies of the notes' texts.
void put_last_row_notes(Frame& frame, std::string_view clock, bool show_hidden);

// The same with " N unread " (white on red, bold; nothing when unread is 0)
// left of the clock and the note, of it what fits left of them. Labels it
// covers whole count as hidden too.
void put_last_row_notes(Frame& frame, int unread, std::string_view clock, bool show_hidden);

// Everything the last row may tell, from right to left: -m's note, the
// clock, a note that ends at the clock (while waiting for the first answer:
// " waiting for the server since", which the clock completes), the unread
// rows. covered_at_left: the cells at the row's start that other labels
// laid before (the servers' names) cover; a label whose text starts there
// counts as hidden too.
struct LastRowNotes {
  int unread = 0;
  std::string_view waiting;
  std::string_view clock;
  bool show_hidden = false;
  int covered_at_left = 0;
};

// All of them as the overloads above lay theirs; of the waiting note, what
// fits left of the clock, in the background's colours.
void put_last_row_notes(Frame& frame, const LastRowNotes& notes);
