#include "report/table_row.h"

#include "common/text_search.h"
#include "report/problem_lines.h"

namespace {

using std::string_view;
constexpr auto npos = string_view::npos;

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// How tags are read: a quoted attribute value may hold '>'; but a name
// written unescaped into a value may hold a lone quote, and then only the
// first '>' ends a tag.
enum class Quotes { HONOURED, IGNORED };

// One past the '>' that ends the tag opening at text[at]; a comment runs to
// its "-->". npos: the tag never ends.
std::size_t tag_end(string_view text, std::size_t at, Quotes quotes) {
  if (text[at + 1] == '!' && text.compare(at, 4, "<!--") == 0) return comment_end(text, at);
  if (quotes == Quotes::IGNORED) {
    const std::size_t end = text.find('>', at + 1);
    return end == npos ? npos : end + 1;
  }
  const char* const begin = text.data();
  const char* const stop = begin + text.size();
  char quote = 0;
  for (const char* c = begin + at + 1; c < stop; ++c) {
    if (quote) {
      if (*c == quote) quote = 0;
    } else if (*c == '>') {
      return static_cast<std::size_t>(c - begin) + 1;
    } else if (*c == '\'' || *c == '"') {
      quote = *c;
    }
  }
  return npos;
}

// "<td>" or "<td ...>", and "</td>", without regard to case.
bool opens_cell(string_view tag) {
  return tag.size() >= 4 && tag_at(tag, 0, "<td") && (tag[3] == '>' || is_blank(tag[3]));
}
bool closes_cell(string_view tag) { return equal_ignoring_case(tag, "</td>"); }

// The text of a cell as it is read: from the first to the last byte outside
// tags that is no blank; tags between them stay.
struct TextSpan {
  std::size_t first = npos, last = npos;
  void take(string_view text, std::size_t from, std::size_t to) {  // text outside tags: [from, to)
    while (from < to && is_blank(text[from])) ++from;
    while (to > from && is_blank(text[to - 1])) --to;
    if (from == to) return;
    if (first == npos) first = from;
    last = to;
  }
  string_view in(string_view text) const { return first == npos ? string_view{} : text.substr(first, last - first); }
};

struct Cells {
  bool complete = false;  // every tag ends
  int count = 0;
  string_view first, last;  // the texts of the first and the last cell
};

// The table cells of text, by their tags, read once from left to right.
Cells find_cells(string_view text, Quotes quotes) {
  Cells cells;
  bool open = false;  // inside a cell
  TextSpan span;
  std::size_t at = 0;  // where the text after the last tag starts
  for (;;) {
    const std::size_t tag = text.find('<', at);
    if (open) span.take(text, at, tag == npos ? text.size() : tag);
    if (tag == npos) break;
    const std::size_t end = tag_end(text, tag, quotes);
    if (end == npos) return cells;
    const string_view name = text.substr(tag, end - tag);
    // Only tags that start "<t" or "</t" can open or close a cell.
    if ((name[1] | 0x20) == 't' && opens_cell(name)) {
      open = true;
      span = {};
    } else if (name[1] == '/' && open && closes_cell(name)) {
      if (cells.count++ == 0) cells.first = span.in(text);
      cells.last = span.in(text);
      open = false;
    }
    at = end;
  }
  cells.complete = true;
  return cells;
}

// A cell's text: the text outside its tags, from the first to the last byte
// that is no blank, tags between them kept. Quoted values may hold '>'; a
// lone quote in a value written unescaped makes the first '>' end the tag.
string_view text_of(string_view content) {
  for (const Quotes quotes : {Quotes::HONOURED, Quotes::IGNORED}) {
    TextSpan span;
    std::size_t at = 0;
    bool whole = true;
    for (;;) {
      const std::size_t tag = content.find('<', at);
      span.take(content, at, tag == npos ? content.size() : tag);
      if (tag == npos) break;
      const std::size_t end = tag + 1 < content.size() ? tag_end(content, tag, quotes) : npos;
      if (end == npos) {
        whole = false;
        break;
      }
      at = end;
    }
    if (whole || quotes == Quotes::IGNORED) return span.in(content);
  }
  return {};
}

}  // namespace

unsigned cell_status(string_view text) {
  static constexpr std::pair<string_view, unsigned> tokens[] = {
      {"DWN", TOKEN_DWN}, {"UNR", TOKEN_UNR}, {"WRN", TOKEN_WRN}, {"CRI", TOKEN_CRI}, {"UNK", TOKEN_UNK}};
  // The words of the text, between blanks: exactly one of them a token.
  unsigned status = 0;
  std::size_t at = 0;
  while (at < text.size()) {
    if (is_blank(text[at])) {
      ++at;
      continue;
    }
    std::size_t end = at;
    while (end < text.size() && !is_blank(text[end])) ++end;
    const string_view word = text.substr(at, end - at);
    for (const auto& [token, bit] : tokens) {
      if (!equal_ignoring_case(word, token)) continue;
      if (status) return 0;
      status = bit;
    }
    at = end;
  }
  return status;
}

TableRow read_row_cells(const std::vector<string_view>& cells) {
  TableRow row;
  if (cells.empty()) return row;
  if ((row.status = cell_status(cell_own_text(cells.front())))) {
    // Later cells ("since 3h") name nothing.
    if (cells.size() > 1) row.name_cell = text_of(cells[1]);
    return row;
  }
  if (cells.size() > 1 && (row.status = cell_status(cell_own_text(cells.back())))) {
    row.name_cell = text_of(cells.front());
    return row;
  }
  for (const string_view cell : cells)
    if (cell_status(cell_own_text(cell))) row.unread_status = true;
  return row;
}

string_view cell_own_text(string_view content) {
  // The anchor's title comes before the token and may hold anything but
  // "<go"; the token stands between the anchor's '>' and "<go".
  for (std::size_t go = find_tag(content, "<go"); go != npos; go = find_tag(content, "<go", go + 1)) {
    const std::size_t after = go + 3;
    if (after < content.size() && content[after] != '>' && content[after] != '/' && !is_blank(content[after]))
      continue;
    const std::size_t tag_close = go == 0 ? npos : content.rfind('>', go - 1);
    const std::size_t from = tag_close == npos ? 0 : tag_close + 1;
    TextSpan span;
    span.take(content, from, go);
    return span.in(content);
  }
  return text_of(content);
}

std::optional<string_view> last_cell_text(string_view line) {
  for (const Quotes quotes : {Quotes::HONOURED, Quotes::IGNORED}) {
    const Cells cells = find_cells(line, quotes);
    if (cells.complete && cells.count > 0) return cells.last;
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
