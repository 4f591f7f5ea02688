#pragma once
#include <string_view>

// Defines the seven colour pairs of the palette.
void set_palette();

// Everything a successful cycle does after the transfer: select the problem
// lines of body, lay out the report and hand it to curses.
void draw_report(std::string_view body);

// One pass of the refresh loop: clear, set up colours, fetch, draw, show,
// sleep. Returns false when the terminal has no colours.
bool run_cycle();
