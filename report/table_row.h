#pragma once
// Reading a problem line by its table cells. The status CGI writes every
// problem as one table row on a line of its own,
//   <tr><td><anchor title='NAME'>TOKEN<go href='statuswml.cgi' method='post'>
//   <postfield name='host' value='HOST'/>[<postfield name='service' value='SERVICE'/>]
//   </go></anchor></td><td>HOST[/SERVICE]</td></tr>
// (one line), and the plain HTML rendition of the list writes
//   <tr><td>TOKEN</td><td>HOST[/SERVICE]</td></tr>
// Read cell by cell, a row's status is its token cell and nothing else, so a
// token inside a name ("sunrise", "description") changes nothing, and its
// names are whole values, never the rest of the line.
#include <optional>
#include <string_view>

// What the row form says of a line.
struct TableRow {
  bool is_row = false;         // "<tr><td>" ... "</td></tr>", blanks before, CR before the line end allowed
  unsigned status = 0;         // the row's one status token (a TOKEN_ bit); 0: the row reports no problem
  std::string_view name_cell;  // the text of the cell that names the problem: HOST or HOST/SERVICE
};

// The status comes from the first cell's text when that holds exactly one
// status token as a word of its own ("CRI", "CRI 2d 4h", not "CRITICAL");
// rows that put the name first carry it in their last cell.
TableRow read_table_row(std::string_view line);

// The status token a cell's text holds as a word of its own (a TOKEN_ bit),
// or 0: none, or more than one.
unsigned cell_status(std::string_view text);

// The text of a line's last table cell: what stands between its tags, the
// tags before and after the text and the blanks around it left out.
std::optional<std::string_view> last_cell_text(std::string_view line);

// The value of the line's first <postfield name='NAME' value='...'/>
// element: everything up to the first "'/>" after it.
std::optional<std::string_view> postfield_value(std::string_view line, std::string_view name);

// A cell's "HOST/SERVICE" split at the first '/'; without a '/' the cell
// names a host only.
struct CellNames {
  std::string_view host;
  std::optional<std::string_view> service;
};
CellNames split_cell_names(std::string_view text);
