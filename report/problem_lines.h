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

// One problem of the page: a table row ("<tr" up to its "</tr>"), or a line
// of the text outside rows, newline included; a view into the received
// body, and the status tokens it carries. A row carries exactly its status
// token and is read by its cells (table_row.h); a line carries every token
// found anywhere in it.
// How a problem's names are read: a row by its cells and postfield values,
// compared whole; a line of the text outside rows by the older patterns.
// A row in the status CGI's own form is read whole (cgi_row.h): its names
// come solved.
enum class LineForm { PATTERNS, ROW, CGI_ROW };

struct ProblemLine {
  std::string_view text;
  unsigned tokens;
  LineForm form = LineForm::PATTERNS;
  // ROW: the text of the cell that names the problem; CGI_ROW: the host (the
  // service follows from it, cgi_row_service)
  std::string_view name_cell;
};

// A row that holds a status but could not be read: a row in the CGI's form
// whose places fit no single reading, or a row whose status cell gave no
// problem. It is never silent (the wall counts it, orvek -t lists it).
struct UnreadRow {
  std::size_t at;         // where it starts in the body
  std::string_view text;
  unsigned tokens;        // the statuses it may carry
};

// The status tokens in line, and whether it holds "#comments".
struct LineMarks {
  unsigned tokens = 0;
  bool has_comments = false;
};
LineMarks mark_line(std::string_view line);

// The problems of a page, the rows it could not read, and whether it holds
// a table cell outside rows whose text is a status token that gave no
// problem: then the page was not read whole. A cell outside rows counts
// only when read_page_lines is asked to look at every cell.
struct PageLines {
  std::vector<ProblemLine> lines;
  std::vector<UnreadRow> unread;    // rows, whatever every_cell says
  bool unread_status_cell = false;  // cells outside rows, and in rows never closed
};

// Reads body once from the start: a row in the status CGI's form runs to
// its line's end and is read whole (cgi_row.h), or, fitting no reading, the
// rows joined on its line are read each whole (joined_rows.h); every other
// "<tr>" ... "</tr>" (any case, any
// line ends, cells on any number of lines, anything before or after it on
// its line) is a row, kept when its token cell holds a status token. The
// text outside rows is cut into newline-ended lines; a line that holds a
// status token and no "#comments" is kept. Bytes after the last newline
// form no line. A "<tr>" that another "<tr>" or the end of the body meets
// before its "</tr>" makes no row: its text is read as lines. Rows and
// cells inside comments count for nothing. Problems come in page order.
// every_cell false leaves out the cells outside rows, which matter only to a
// page that shows nothing.
PageLines read_page_lines(std::string_view body, bool every_cell = true);

// The problems alone.
std::vector<ProblemLine> split_problem_lines(std::string_view body);
