#pragma once
// Rows in the status CGI's form joined on one line, as a page minified on its
// way has them: "...</td></tr><tr><td><anchor title='..." or the same with
// "<br/>" between. The line is cut wherever one row's "</td></tr>" meets the
// next row's start, and each piece is read whole as a row on a line of its
// own is (cgi_row.h). A name may hold that meeting itself, and then its row
// is cut too: pieces that fit no reading are read again joined back, a row
// of up to JOINED_PIECES pieces, the fewest pieces left over; where two ways
// leave as few, none is taken. A piece left over is unread, or, without a
// token where the CGI writes one, no row of the CGI's form: one for its cells.
#include <cstddef>
#include <string_view>
#include <vector>

#include "report/cgi_row.h"

inline constexpr std::size_t JOINED_PIECES = 4;
// What may stand between two joined rows besides nothing.
inline constexpr std::string_view JOINED_BREAK = "<br/>";

enum class JoinedKind { READ, UNREAD, CELLS };

struct JoinedRow {
  std::size_t start, end;  // in the line
  JoinedKind kind;
  CgiRowReading reading;   // READ: views into the line
  unsigned tokens = 0;     // UNREAD: the statuses it may carry
};

// The rows of line, which starts with CGI_ROW_START and ends with
// CGI_ROW_END, in order; empty when no row's end meets another's start in
// it. The cost is linear in the line's length, whatever it holds.
std::vector<JoinedRow> read_joined_rows(std::string_view line);
