#pragma once
// Ways to look at a laid-out frame in tests: every label as one line of text
// ("row,column pair text", with "b" after the pair for bold), and the screen
// as rows of characters with a colour pair per cell.
#include <string>
#include <vector>

#include "layout/frame.h"

// The text a label puts on the screen. Built with append and += rather than a
// chain of operator+, which g++ 12 at -O2 and above takes for an overlapping
// memcpy and reports under -Wrestrict (a false alarm of GCC 12).
inline std::string drawn_text(const Label& label) {
  std::string drawn;
  drawn.reserve(label.text.size() + 2);
  if (label.form != LabelForm::PLAIN) drawn += ' ';
  drawn.append(label.text);
  if (label.form == LabelForm::PADDED) drawn += ' ';
  return drawn;
}

inline std::string describe(const Label& label) {
  std::string line = std::to_string(label.row);
  line += ',';
  line += std::to_string(label.column);
  line += ' ';
  line += std::to_string(colour_pair(label.role));
  if (label.bold) line += 'b';
  line += " [";
  line += drawn_text(label);
  line += ']';
  return line;
}

inline std::vector<std::string> describe(const Frame& frame) {
  std::vector<std::string> lines;
  for (const Label& label : frame.labels) lines.push_back(describe(label));
  return lines;
}

struct Cell {
  char character = ' ';
  short pair = 0;  // 0: the background's colours
  bool bold = false;
};

// The screen the frame paints, for ASCII text: each label clipped at its
// end column and at the right edge.
inline std::vector<std::vector<Cell>> paint_cells(const Frame& frame) {
  std::vector<std::vector<Cell>> screen(static_cast<std::size_t>(frame.rows),
                                        std::vector<Cell>(static_cast<std::size_t>(frame.columns)));
  for (const Label& label : frame.labels) {
    const std::string drawn = drawn_text(label);
    const int end = label.end_column < frame.columns ? label.end_column : frame.columns;
    for (std::size_t i = 0; i < drawn.size(); ++i) {
      const std::size_t column = static_cast<std::size_t>(label.column) + i;
      if (column >= static_cast<std::size_t>(end)) break;
      screen[static_cast<std::size_t>(label.row)][column] = {drawn[i], colour_pair(label.role), label.bold};
    }
  }
  return screen;
}
