#pragma once
// How much of something long a check from the shell shows: a file of a
// million bad lines, or a page of thousands of problems, is told by its
// first lines and a count; a line of a megabyte by its beginning; a page by
// the beginning of its text.
#include <cstddef>
#include <string>
#include <string_view>

// Lines of a list; past them, only how many more there are.
inline constexpr std::size_t SHOWN_LINES_LIMIT = 20;

// Bytes of one line of the user's files.
inline constexpr std::size_t SHOWN_LINE_LIMIT = 120;

// Bytes of one row of a page, as shown.
inline constexpr std::size_t SHOWN_ROW_LIMIT = 600;

// Characters of a page's text.
inline constexpr std::size_t PAGE_EXCERPT_LIMIT = 200;

// line up to limit bytes, without cutting a UTF-8 sequence, and "..." after
// it when anything was left out.
std::string shown_line_start(std::string_view line, std::size_t limit = SHOWN_LINE_LIMIT);
