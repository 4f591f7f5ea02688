#pragma once
#include <string_view>

struct Frame;

// Lays the no-connection banner into frame: white on red, centred. On a
// screen narrower than the text its column is negative and, as curses
// would, the frame refuses it.
void show_no_connection(Frame& frame);

// Any banner, laid out as that one. The frame keeps a copy of text.
void show_banner(Frame& frame, std::string_view text);

// The row under the banner, with -u: why the banner is up and since when,
// centred, in the background's own colours. On a screen narrower than the
// text it starts at the left edge and what does not fit is left out. The
// frame keeps a copy of text.
void show_reason_line(Frame& frame, std::string_view text);
// The same in another row (with several servers, one reason a row under the
// banner).
void show_reason_line(Frame& frame, std::string_view text, int row);
