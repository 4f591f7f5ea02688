#pragma once
// Reading a table row by its cells. The status CGI writes every problem as
// one table row,
//   <tr><td><anchor title='NAME'>TOKEN<go href='statuswml.cgi' method='post'>
//   <postfield name='host' value='HOST'/>[<postfield name='service' value='SERVICE'/>]
//   </go></anchor></td><td>HOST[/SERVICE]</td></tr>
// and the plain HTML rendition of the list writes
//   <tr><td>TOKEN</td><td>HOST[/SERVICE]</td></tr>
// The names are written as they are, so a name may hold quotes, '<', '>',
// '/' and status words. Read cell by cell, a row's status is its token cell
// and nothing else, and its names are whole values, never the rest of the row.
#include <optional>
#include <string_view>
#include <vector>

// What a row's cells say.
struct TableRow {
  unsigned status = 0;          // the row's one status token (a TOKEN_ bit); 0: the row reports no problem
  std::string_view name_cell;   // the text of the cell that names the problem: HOST or HOST/SERVICE
  bool unread_status = false;   // no problem, yet a cell holds a status token: the row was not understood
};

// The status comes from the first cell when that holds exactly one status
// token as a word of its own ("CRI", "CRI 2d 4h", not "CRITICAL"); the name
// cell is then the cell right after it. Rows that put the name first carry
// the token in their last cell and the name in their first. cells: the
// contents of the row's cells, between "<td...>" and "</td>".
TableRow read_row_cells(const std::vector<std::string_view>& cells);

// The text a cell holds as its own: in the anchor form the word right before
// "<go" (the anchor's title may hold anything), otherwise the text outside
// tags, the blanks around it left out.
std::string_view cell_own_text(std::string_view content);

// The status token a cell's text holds as a word of its own (a TOKEN_ bit),
// or 0: none, or more than one.
unsigned cell_status(std::string_view text);

// The text of a line's last table cell: what stands between its tags, the
// tags before and after the text and the blanks around it left out.
std::optional<std::string_view> last_cell_text(std::string_view line);

// The value of the first <postfield name='NAME' value='...'/> element of
// text: everything from "value='" up to the first "'/>" after it.
std::optional<std::string_view> postfield_value(std::string_view text, std::string_view name);

// A cell's "HOST/SERVICE" split at the first '/'; without a '/' the cell
// names a host only.
struct CellNames {
  std::string_view host;
  std::optional<std::string_view> service;
};
CellNames split_cell_names(std::string_view text);
