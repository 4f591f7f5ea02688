#pragma once
// Everything that touches curses: the palette, the painter that hands a
// laid-out frame to the terminal, and the off-screen terminals the benchmark
// and the fuzz target draw into.
#include <cstdio>
#include <curses.h>

struct Frame;

// Defines pairs 1 to 7 from the colour roles.
void set_palette();

// The background, then every label in its role's pair and weight, each cut
// at its end column.
void paint_frame(const Frame& frame);

// After SIGWINCH: gives curses the terminal's new size, taken as curses takes
// it at start (from the terminal on fd, unless LINES or COLUMNS in the
// environment fix a dimension). Returns whether the size changed.
bool follow_terminal_size(int fd);

// A colour terminal of a fixed size that draws nowhere: output to and input
// from /dev/null, the palette defined, made the current one. Nothing when
// curses cannot start it or it has no colours.
struct OffscreenTerminal {
  SCREEN* screen = nullptr;
  std::FILE* output = nullptr;
  std::FILE* input = nullptr;
};
bool open_offscreen_terminal(const char* terminal_type, int rows, int columns, OffscreenTerminal& terminal);
void close_offscreen_terminal(OffscreenTerminal& terminal);
