#include "report/table_row.h"

#include "common/text_search.h"
#include "report/problem_lines.h"

namespace {

using std::string_view;
constexpr auto npos = string_view::npos;

constexpr string_view ROW_START = "<tr><td>";
constexpr string_view ROW_END = "</td></tr>";
constexpr string_view BLANKS = " \t\r\n";

bool starts_with_ignoring_case(string_view text, string_view prefix) {
  return text.size() >= prefix.size() && equal_ignoring_case(text.substr(0, prefix.size()), prefix);
}

bool ends_with_ignoring_case(string_view text, string_view suffix) {
  return text.size() >= suffix.size() && equal_ignoring_case(text.substr(text.size() - suffix.size()), suffix);
}

// How tags are read: a quoted attribute value may hold '>'; but a name
// written unescaped into a value may hold a lone quote, and then only the
// first '>' ends a tag.
enum class Quotes { HONOURED, IGNORED };

// One past the '>' that ends the tag opening at text[at]; a comment runs to
// its "-->". npos: the tag never ends.
std::size_t tag_end(string_view text, std::size_t at, Quotes quotes) {
  if (text.compare(at, 4, "<!--") == 0) {
    const std::size_t end = text.find("-->", at + 4);
    return end == npos ? npos : end + 3;
  }
  if (quotes == Quotes::IGNORED) {
    const std::size_t end = text.find('>', at + 1);
    return end == npos ? npos : end + 1;
  }
  char quote = 0;
  for (std::size_t i = at + 1; i < text.size(); ++i) {
    const char c = text[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '>') {
      return i + 1;
    }
  }
  return npos;
}

// "<td>" or "<td ...>", and "</td>", without regard to case.
bool opens_cell(string_view tag) {
  return tag.size() >= 4 && equal_ignoring_case(tag.substr(0, 3), "<td") && (tag[3] == '>' || BLANKS.find(tag[3]) != npos);
}
bool closes_cell(string_view tag) { return equal_ignoring_case(tag, "</td>"); }

struct Cells {
  bool complete = false;  // every tag ends
  int count = 0;
  string_view first, last;
};

// The table cells of text, by their tags.
Cells find_cells(string_view text, Quotes quotes) {
  Cells cells;
  std::size_t open = npos;  // where the content of the open cell starts
  std::size_t at = text.find('<');
  while (at != npos) {
    const std::size_t end = tag_end(text, at, quotes);
    if (end == npos) return cells;
    const string_view tag = text.substr(at, end - at);
    if (opens_cell(tag)) {
      open = end;
    } else if (closes_cell(tag) && open != npos) {
      const string_view content = text.substr(open, at - open);
      if (cells.count++ == 0) cells.first = content;
      cells.last = content;
      open = npos;
    }
    at = text.find('<', end);
  }
  cells.complete = true;
  return cells;
}

// A cell's text: from the first to the last byte outside tags that is no
// blank; tags between them stay.
string_view cell_text(string_view cell, Quotes quotes) {
  std::size_t first = npos, last = npos;
  std::size_t at = 0;
  while (at < cell.size()) {
    if (cell[at] == '<') {
      const std::size_t end = tag_end(cell, at, quotes);
      if (end == npos) break;
      at = end;
      continue;
    }
    if (BLANKS.find(cell[at]) == npos) {
      if (first == npos) first = at;
      last = at;
    }
    ++at;
  }
  return first == npos ? string_view{} : cell.substr(first, last - first + 1);
}

}  // namespace

unsigned cell_status(string_view text) {
  static constexpr std::pair<string_view, unsigned> tokens[] = {
      {"DWN", TOKEN_DWN}, {"UNR", TOKEN_UNR}, {"WRN", TOKEN_WRN}, {"CRI", TOKEN_CRI}, {"UNK", TOKEN_UNK}};
  for (const auto& [token, bit] : tokens)
    if (equal_ignoring_case(text, token)) return bit;
  return 0;
}

TableRow read_table_row(string_view line) {
  TableRow row;
  std::size_t begin = line.find_first_not_of(" \t");
  if (begin == npos) return row;
  string_view body = line.substr(begin);
  if (body.ends_with('\n')) body.remove_suffix(1);
  if (body.ends_with('\r')) body.remove_suffix(1);
  if (!starts_with_ignoring_case(body, ROW_START) || !ends_with_ignoring_case(body, ROW_END)) return row;
  for (const Quotes quotes : {Quotes::HONOURED, Quotes::IGNORED}) {
    const Cells cells = find_cells(body, quotes);
    if (!cells.complete || cells.count == 0) continue;
    row.is_row = true;
    const string_view first = cell_text(cells.first, quotes);
    if ((row.status = cell_status(first))) {
      row.name_cell = cells.count > 1 ? cell_text(cells.last, quotes) : string_view{};
      return row;
    }
    if (cells.count > 1 && (row.status = cell_status(cell_text(cells.last, quotes)))) {
      row.name_cell = first;
      return row;
    }
  }
  return row;
}

std::optional<string_view> last_cell_text(string_view line) {
  for (const Quotes quotes : {Quotes::HONOURED, Quotes::IGNORED}) {
    const Cells cells = find_cells(line, quotes);
    if (cells.complete && cells.count > 0) return cell_text(cells.last, quotes);
  }
  return std::nullopt;
}

std::optional<string_view> postfield_value(string_view line, string_view name) {
  // The element as the status CGI writes it; the patterns read it the same way.
  constexpr string_view OPEN = "<postfield name='";
  constexpr string_view VALUE = "' value='";
  for (std::size_t at = line.find(OPEN); at != npos; at = line.find(OPEN, at + 1)) {
    const std::size_t name_at = at + OPEN.size();
    if (line.compare(name_at, name.size(), name) != 0 || line.compare(name_at + name.size(), VALUE.size(), VALUE) != 0)
      continue;
    const std::size_t value = name_at + name.size() + VALUE.size();
    const std::size_t end = line.find("'/>", value);
    if (end == npos) return std::nullopt;
    return line.substr(value, end - value);
  }
  return std::nullopt;
}

CellNames split_cell_names(string_view text) {
  const std::size_t slash = text.find('/');
  if (slash == npos) return {text, std::nullopt};
  return {text.substr(0, slash), text.substr(slash + 1)};
}
