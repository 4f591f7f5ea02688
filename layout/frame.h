#pragma once
// A whole screen laid out as data before curses sees it: the seam between
// what the monitor shows and the terminal, so that a frame can be checked
// cell by cell without one.
#include <deque>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "layout/colour_roles.h"

enum class LabelForm : unsigned char {
  PADDED,        // " text ": host and status labels
  SERVICE_NAME,  // " text": the name beside a status label
  PLAIN,         // "text": the banner, which carries its own spaces
};

// A label's end when only the screen's right edge bounds it.
inline constexpr int AT_RIGHT_EDGE = std::numeric_limits<int>::max();

// One piece of text placed on the screen.
struct Label {
  int row;
  int column;
  std::string_view text;  // points into the page, at a static word or into the frame's own texts
  ColourRole role;
  bool bold;
  LabelForm form;
  // The first screen column the label may not draw in (its padding
  // included): the start of the next report column, or the right edge.
  // What does not fit before it is left out, whole characters at a time.
  int end_column = AT_RIGHT_EDGE;
};

// The first column of a label's own text, after its leading space.
inline int text_column(const Label& label) { return label.form == LabelForm::PLAIN ? label.column : label.column + 1; }

// The first column a label does not draw in: its end, or the right edge.
inline int drawn_end(const Label& label, int screen_columns) {
  return label.end_column < screen_columns ? label.end_column : screen_columns;
}

// The labels -m counts when their text cannot be read: DOWN and UNREACHABLE
// hosts and status labels. A green host label is not counted: its services
// are.
inline bool counted_when_hidden(ColourRole role) {
  return role == DOWN_HOST_ROLE || role == UNREACHABLE_ROLE || role == WARNING_ROLE || role == CRITICAL_ROLE ||
         role == UNKNOWN_ROLE;
}

struct Frame {
  Frame(int screen_rows, int screen_columns) : rows(screen_rows), columns(screen_columns) {}
  // A copy's labels would point into the original's own texts: frames are
  // moved, which leaves every text where it is.
  Frame(const Frame&) = delete;
  Frame& operator=(const Frame&) = delete;
  Frame(Frame&&) = default;
  Frame& operator=(Frame&&) = default;
  int rows;
  int columns;
  ColourRole background = NORMAL_ROLE;  // ALARM_ROLE while a host is DOWN or UNREACHABLE
  std::vector<Label> labels;
  // Text the labels may point into besides the pages: names decoded from
  // character references, one for each report laid out, kept as long as the
  // frame.
  std::vector<std::shared_ptr<const std::string>> kept_texts;
  // DOWN, UNREACHABLE and status labels of which not one character of text
  // shows: they start beyond the right edge, or so close to it that only
  // their leading space fits (or, once the last row's notes are laid, under
  // them).
  int hidden_labels = 0;
  // The short texts laid out for this frame alone (the notes, the clock, a
  // banner and the reason under it), which their labels point into. A
  // deque: adding a text moves none of those before it.
  std::deque<std::string> own_texts;
};

// A copy of text that frame keeps as long as it lives, for a label to show.
inline std::string_view keep_text(Frame& frame, std::string_view text) { return frame.own_texts.emplace_back(text); }
