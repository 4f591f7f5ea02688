#pragma once
// Ways to look at a laid-out frame in tests: every label as one line of text
// ("row,column pair text", with "b" after the pair for bold), and the screen
// as rows of characters with a colour pair per cell.
#include <string>
#include <vector>

#include "report/screen_writer.h"

inline std::string describe(const Label& label) {
  std::string padded = " " + std::string(label.text) + (label.service_name ? "" : " ");
  return std::to_string(label.row) + "," + std::to_string(label.column) + " " + std::to_string(label.pair) +
         (label.bold ? "b" : "") + " [" + padded + "]";
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
    const std::string padded = " " + std::string(label.text) + (label.service_name ? "" : " ");
    for (std::size_t i = 0; i < padded.size(); ++i) {
      const std::size_t column = static_cast<std::size_t>(label.column) + i;
      if (column >= screen[0].size()) break;
      screen[static_cast<std::size_t>(label.row)][column] = {padded[i], label.pair, label.bold};
    }
  }
  return screen;
}
