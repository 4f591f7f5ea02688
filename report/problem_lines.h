#pragma once
#include <string_view>
#include <vector>

// Status tokens found in a line, as bits. Tokens are matched without regard to
// case and anywhere in the line, also inside longer words.
enum StatusToken : unsigned {
  TOKEN_WRN = 1u << 0,
  TOKEN_CRI = 1u << 1,
  TOKEN_UNK = 1u << 2,
  TOKEN_DWN = 1u << 3,
  TOKEN_UNR = 1u << 4,
};
inline constexpr unsigned SERVICE_TOKENS = TOKEN_WRN | TOKEN_CRI | TOKEN_UNK;

// One selected line of the page: a view into the received body, newline
// included, and the status tokens it carries. A line in the row form
// (table_row.h) carries exactly its row's status token and is read by its
// cells; any other line carries every token found anywhere in it.
struct ProblemLine {
  std::string_view text;
  unsigned tokens;
  bool row = false;
  std::string_view name_cell;  // row only: the text of the cell that names the problem
};

// The status tokens in line, and whether it holds "#comments".
struct LineMarks {
  unsigned tokens = 0;
  bool has_comments = false;
};
LineMarks mark_line(std::string_view line);

// Cuts body into newline-ended lines and keeps, in page order, the rows whose
// token cell holds a status token, and the other lines that hold a status
// token and no "#comments". Bytes after the last newline form no line. The
// body comes already cut at its first zero byte (received_text).
std::vector<ProblemLine> split_problem_lines(std::string_view body);
