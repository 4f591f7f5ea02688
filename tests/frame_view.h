#pragma once
// Ways to look at a laid-out frame in tests: every label as one line of text
// ("row,column pair text", with "b" after the pair for bold), and the screen
// as rows of characters with a colour pair per cell.
#include <string>
#include <vector>

#include "report/screen_writer.h"

// The label's text as painted: a space before it, and one after it unless it
// is a service name. Built with append rather than a chain of operator+,
// which g++ 12 at -O2 and above takes for an overlapping memcpy and reports
// under -Wrestrict (a known false alarm of GCC 12: bugs 105329, 105651).
inline std::string padded_text(const Label& label) {
  std::string padded;
  padded.reserve(label.text.size() + 2);
  padded.append(" ").append(label.text);
  if (!label.service_name) padded.append(" ");
  return padded;
}

inline std::string describe(const Label& label) {
  std::string line = std::to_string(label.row);
  line.append(",").append(std::to_string(label.column));
  line.append(" ").append(std::to_string(label.pair));
  if (label.bold) line.append("b");
  line.append(" [").append(padded_text(label)).append("]");
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

// The screen the frame paints, clipped at the right edge.
inline std::vector<std::vector<Cell>> paint_cells(const Frame& frame) {
  std::vector<std::vector<Cell>> screen(static_cast<std::size_t>(frame.rows),
                                        std::vector<Cell>(static_cast<std::size_t>(frame.columns)));
  for (const Label& label : frame.labels) {
    const std::string padded = padded_text(label);
    for (std::size_t i = 0; i < padded.size(); ++i) {
      const std::size_t column = static_cast<std::size_t>(label.column) + i;
      if (column >= screen[0].size()) break;
      screen[static_cast<std::size_t>(label.row)][column] = {padded[i], label.pair, label.bold};
    }
  }
  return screen;
}
