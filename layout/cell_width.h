#pragma once
// How many terminal cells text takes, as the terminal shows UTF-8: two for a
// wide (East Asian) character, none for a combining mark or a zero-width
// one, two for a control character (shown as ^X), one for anything else,
// a byte that is no part of a character included. Names laid out beside
// one another (headers, -u's names row, reason lines) are measured in these.
#include <string_view>

int cell_width(std::string_view text);

// The longest start of text, whole characters only, that takes at most
// cells cells (a combining mark stays with the character before it).
std::string_view first_cells(std::string_view text, int cells);
