#pragma once
// Reading a row as the status CGI writes it. The CGI writes every problem
// on a line of its own, each name several times and as it is:
//   <tr><td><anchor title='HOST'>TOKEN<go href='statuswml.cgi' method='post'>
//   <postfield name='host' value='HOST'/></go></anchor></td><td>HOST</td></tr>
// for a host, and for a service
//   <tr><td><anchor title='SERVICE'>TOKEN<go href='statuswml.cgi' method='post'>
//   <postfield name='host' value='HOST'/><postfield name='service' value='SERVICE'/>
//   </go></anchor></td><td>HOST/SERVICE</td></tr>
// A name may hold any of the fixed text around it ("'/>", "</td>", "<go ",
// a whole postfield element, a status word), so no single place can be read
// on its own. The row is read whole instead: the one assignment of host (and
// service) that makes every place agree with the fixed text between them.
#include <cstddef>
#include <string_view>
#include <vector>

#include "report/prefix_hashes.h"

// The text the row starts with, and the text it ends with before its line end.
inline constexpr std::string_view CGI_ROW_START = "<tr><td><anchor title='";
inline constexpr std::string_view CGI_ROW_END = "</td></tr>";
// The fixed text between the token and the host's value, which every row holds.
inline constexpr std::string_view CGI_ROW_CORE = "<go href='statuswml.cgi' method='post'><postfield name='host' value='";

struct CgiRowReading {
  unsigned status = 0;        // the row's token (a TOKEN_ bit)
  std::string_view host;
  std::string_view service;   // service rows only
};

struct CgiRowSolution {
  int readings = 0;           // 0: none fits; 1: reading; 2: two or more, and none is taken
  CgiRowReading reading;      // readings == 1 only
  unsigned tokens = 0;        // the tokens standing where a token may stand ("'>" TOKEN, then the core)
};

// Where the row in the CGI's form that starts at body[at] ends (one past its
// "</td></tr>"), or npos: the row starts CGI_ROW_START, ends CGI_ROW_END
// right before its line end (a carriage return before the newline, or the
// end of the body), and holds CGI_ROW_CORE. core_at: the first place of
// CGI_ROW_CORE at or after at, or npos (the caller keeps it from one row to
// the next, so a long line is searched once).
std::size_t cgi_row_end(std::string_view body, std::size_t at, std::size_t core_at);

// The service of a service row read as host (host a view into row): it
// follows from the row's length.
std::string_view cgi_row_service(std::string_view row, std::string_view host);

// Every reading of row (from CGI_ROW_START to CGI_ROW_END) as the CGI writes
// it: names of one byte or more, the token as the CGI writes it (upper case).
// The cost is linear in the row's length, whatever the names hold: the
// splits whose fixed text fits are compared byte by byte while they are at
// most direct_splits, else through hashes of the row's prefixes first (the
// tests pass 0 to take that way with every row).
CgiRowSolution solve_cgi_row(std::string_view row, std::size_t direct_splits = 4);

// A place where a token stands as the CGI writes it: "'>" TOKEN right before
// the CGI_ROW_CORE that starts at core.
struct TokenPlace {
  std::size_t core;
  unsigned status;  // a TOKEN_ bit
};

// Every token place of text, in order, in one pass.
std::vector<TokenPlace> cgi_token_places(std::string_view text);

// The readings of text[start, end) as one row, as solve_cgi_row gives them,
// from places (cgi_token_places(text)) and with every place of a name
// compared through the hashes of text: the cost is the number of token
// places inside the row, whatever its length. The reading taken is then
// confirmed byte by byte (cgi_row_fits).
CgiRowSolution solve_cgi_row_hashed(std::string_view text, std::size_t start, std::size_t end,
                                    const std::vector<TokenPlace>& places, LazyHashes& hashes);

// Whether row is, byte for byte, the row the CGI writes for reading.
bool cgi_row_fits(std::string_view row, const CgiRowReading& reading);
