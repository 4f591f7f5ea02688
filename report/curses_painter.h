#pragma once

struct Frame;

// Hands a laid-out report to curses: the background, then every label in
// its colour pair and weight. The only place the report touches curses.
void paint_frame(const Frame& frame);
