#pragma once
#include <string_view>

inline constexpr std::string_view NO_CONNECTION_TEXT = " No connection to server! ";

// Draws the no-connection banner, white on red, centred on the screen. On a
// screen narrower than the text its column is negative and curses refuses it.
void show_no_connection();
