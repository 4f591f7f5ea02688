// The row reader against a plain one written for this target: the tags
// found one by one, a row in the status CGI's form running to its line's end
// and read by trying every split (tests/reference_cgi_row.h), or, fitting
// none, the line's rows where they meet read the plain way too, other rows as
// a "<tr" whose next row tag is a "</tr>", cells running to the next cell or
// row tag, and the text outside rows cut into lines by hand. Both must give
// the same problems, in the same order, as the same views, the same unread
// rows and the same verdict on status cells left unread.
//
// Besides, the input is read as a recipe for one row in the CGI's form whose
// names are built from the row's own fixed fragments: the solver must agree
// with the plain reading, and the names written must be among its readings.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/text_search.h"
#include "fuzz_check.h"
#include "report/problem_lines.h"
#include "report/table_row.h"
#include "reference_cgi_row.h"

namespace {

using std::string_view;
constexpr auto npos = string_view::npos;

enum class Tag { ROW, CELL, CELL_END, ROW_END, CGI_ROW };

struct Event {
  std::size_t at;    // where the tag starts
  Tag tag;
  std::size_t text;  // CELL: where the cell's text starts; CGI_ROW: where the row ends
  bool joined = false;  // CGI_ROW: a row of a joined line, read as verdict says
  JoinedRow verdict{};
};

// The end of the row in the CGI's form at body[at], read plainly: its start,
// its "</td></tr>" right before the line's end, a token where the CGI writes
// one; npos when there is none.
std::size_t plain_cgi_row_end(string_view body, std::size_t at) {
  if (!body.substr(at).starts_with(CGI_ROW_START)) return npos;
  std::size_t end = body.find('\n', at);
  if (end == npos) end = body.size();
  if (end > at && body[end - 1] == '\r') --end;
  const string_view row = body.substr(at, end - at);
  if (row.size() < CGI_ROW_START.size() + CGI_ROW_END.size() || !row.ends_with(CGI_ROW_END)) return npos;
  return reference_solve_cgi_row(row).tokens ? end : npos;
}

bool starts_ignoring_case(string_view body, std::size_t at, string_view text) {
  return body.size() - at >= text.size() && equal_ignoring_case(body.substr(at, text.size()), text);
}

bool opening(string_view body, std::size_t at, string_view name) {
  if (!starts_ignoring_case(body, at, name)) return false;
  if (at + name.size() >= body.size()) return false;
  const char c = body[at + name.size()];
  return c == '>' || c == '/' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::vector<Event> events_of(string_view body) {
  std::vector<Event> events;
  // The rows of the joined line last met, from joined_from to joined_end.
  std::vector<JoinedRow> joined;
  std::size_t joined_from = 0, joined_end = 0;
  // Inside a joined line only its rows' starts are rows.
  const auto joined_row = [&](std::size_t at) -> const JoinedRow* {
    for (const JoinedRow& row : joined)
      if (joined_from + row.start == at) return &row;
    return nullptr;
  };
  const auto cgi_row_end = [&](std::size_t at) {
    if (at < joined_end) return npos;
    const std::size_t end = plain_cgi_row_end(body, at);
    if (end == npos || reference_solve_cgi_row(body.substr(at, end - at)).readings != 0) return end;
    joined = reference_read_joined_rows(body.substr(at, end - at));
    if (joined.empty()) return end;
    joined_from = at;
    joined_end = end;
    return npos;
  };
  std::size_t i = 0;
  while (i < body.size()) {
    if (body[i] != '<') {
      ++i;
    } else if (body.substr(i, 4) == "<!--") {
      const std::size_t end = body.find("-->", i + 4);
      i = end == npos ? body.size() : end + 3;
    } else if (const std::size_t end = cgi_row_end(i); end != npos) {
      events.push_back({i, Tag::CGI_ROW, end});
      i = end;
    } else if (const JoinedRow* row = i < joined_end ? joined_row(i) : nullptr) {
      events.push_back({i, Tag::CGI_ROW, joined_from + row->end, true, *row});
      i = joined_from + row->end;
    } else if (opening(body, i, "<tr")) {
      events.push_back({i, Tag::ROW, 0});
      ++i;
    } else if (opening(body, i, "<td")) {
      const std::size_t close = body.find('>', i);
      if (close == npos) break;
      events.push_back({i, Tag::CELL, close + 1});
      i = close + 1;
    } else if (starts_ignoring_case(body, i, "</td>")) {
      events.push_back({i, Tag::CELL_END, 0});
      i += 5;
    } else if (starts_ignoring_case(body, i, "</tr>")) {
      events.push_back({i, Tag::ROW_END, 0});
      i += 5;
    } else {
      ++i;
    }
  }
  return events;
}

unsigned tokens_of(string_view piece, bool& comments) {
  std::string lower;
  for (const char c : piece) lower += static_cast<char>(fold_ascii(c));
  comments = lower.find("#comments") != std::string::npos;
  unsigned tokens = 0;
  const std::pair<const char*, unsigned> all[] = {
      {"wrn", TOKEN_WRN}, {"cri", TOKEN_CRI}, {"unk", TOKEN_UNK}, {"dwn", TOKEN_DWN}, {"unr", TOKEN_UNR}};
  for (const auto& [token, bit] : all)
    if (lower.find(token) != std::string::npos) tokens |= bit;
  return tokens;
}

PageLines plain_reader(string_view body) {
  PageLines page;
  const std::vector<Event> events = events_of(body);
  std::vector<bool> in_row(body.size(), false);
  struct Row {
    std::size_t start, end;
    std::vector<string_view> cells;
  };
  std::vector<Row> rows;
  // Each cell's text runs to the next tag of the four, or the end.
  const auto cell_text = [&](std::size_t k) {
    const std::size_t end = k + 1 < events.size() ? events[k + 1].at : body.size();
    return body.substr(events[k].text, end - events[k].text);
  };
  std::vector<bool> cell_in_row(events.size(), false);
  for (std::size_t k = 0; k < events.size(); ++k) {
    if (events[k].tag != Tag::ROW) continue;
    std::size_t m = k + 1;
    while (m < events.size() && events[m].tag != Tag::ROW && events[m].tag != Tag::ROW_END &&
           events[m].tag != Tag::CGI_ROW)
      ++m;
    if (m == events.size() || events[m].tag != Tag::ROW_END) continue;
    Row row{events[k].at, events[m].at + 5, {}};
    for (std::size_t c = k + 1; c < m; ++c)
      if (events[c].tag == Tag::CELL) {
        row.cells.push_back(cell_text(c));
        cell_in_row[c] = true;
      }
    for (std::size_t b = row.start; b < row.end; ++b) in_row[b] = true;
    rows.push_back(std::move(row));
  }
  std::vector<Event> cgi_rows;
  for (const Event& event : events)
    if (event.tag == Tag::CGI_ROW) {
      cgi_rows.push_back(event);
      for (std::size_t b = event.at; b < event.text; ++b) in_row[b] = true;
    }
  for (std::size_t k = 0; k < events.size(); ++k)
    if (events[k].tag == Tag::CELL && !cell_in_row[k] && cell_status(cell_own_text(cell_text(k))))
      page.unread_status_cell = true;

  // Rows and the pieces of lines outside them, in page order.
  const bool any_newline_after = body.find('\n') != npos;
  std::size_t next_row = 0, next_cgi_row = 0;
  std::size_t i = 0;
  while (i < body.size()) {
    if (next_cgi_row < cgi_rows.size() && cgi_rows[next_cgi_row].at == i) {
      const Event& event = cgi_rows[next_cgi_row++];
      const string_view text = body.substr(event.at, event.text - event.at);
      if (event.joined && event.verdict.kind == JoinedKind::CELLS) {
        // A piece of a joined line without a token where the CGI writes one:
        // read by its cells, on its own.
        PageLines piece = plain_reader(text);
        page.lines.insert(page.lines.end(), piece.lines.begin(), piece.lines.end());
        for (UnreadRow& unread : piece.unread) {
          unread.at += event.at;
          page.unread.push_back(unread);
        }
        page.unread_status_cell = page.unread_status_cell || piece.unread_status_cell;
        i = event.text;
        continue;
      }
      if (event.joined) {
        if (event.verdict.kind == JoinedKind::READ)
          page.lines.push_back({text, event.verdict.reading.status, LineForm::CGI_ROW, event.verdict.reading.host});
        else
          page.unread.push_back({event.at, text, event.verdict.tokens});
        i = event.text;
        continue;
      }
      const CgiRowSolution solved = reference_solve_cgi_row(text);
      if (solved.readings == 1)
        page.lines.push_back({text, solved.reading.status, LineForm::CGI_ROW, solved.reading.host});
      else
        page.unread.push_back({event.at, text, solved.tokens});
      i = event.text;
      continue;
    }
    if (next_row < rows.size() && rows[next_row].start == i) {
      const Row& row = rows[next_row++];
      const TableRow read = read_row_cells(row.cells);
      const string_view text = body.substr(row.start, row.end - row.start);
      if (read.status) page.lines.push_back({text, read.status, LineForm::ROW, read.name_cell});
      if (read.unread_status) {
        unsigned tokens = 0;
        for (const string_view cell : row.cells) tokens |= cell_status(cell_own_text(cell));
        page.unread.push_back({row.start, text, tokens});
      }
      i = row.end;
      continue;
    }
    std::size_t j = i;
    while (j < body.size() && !in_row[j] && body[j] != '\n') ++j;
    const bool ends_line = j < body.size() && body[j] == '\n';
    if (ends_line) ++j;
    const string_view piece = body.substr(i, j - i);
    // A piece cut off by a row is a line when a line end follows later.
    const bool line = ends_line || (j < body.size() && any_newline_after && body.find('\n', j) != npos);
    bool comments = false;
    const unsigned tokens = tokens_of(piece, comments);
    if (line && tokens && !comments) page.lines.push_back({piece, tokens, LineForm::PATTERNS, {}});
    i = j;
  }
  return page;
}

}  // namespace

// The same bytes of the same text; empty views are all alike.
bool same_view(string_view a, string_view b) { return a.size() == b.size() && (a.empty() || a.data() == b.data()); }

// One row in the CGI's form, its names made of the fragments the bytes
// choose: the first byte the token, then host fragments up to a zero byte,
// then service fragments.
void check_fragment_row(const std::uint8_t* data, std::size_t size) {
  static const string_view fragments[] = {
      "'", "'>", "/", "<go ", "'/>", "</td>", "<td>", "<tr>", "</tr>", "DWN", "CRI", "WRN", "a", "b",
      CGI_ROW_CORE, "<postfield name='host' value='", "<postfield name='service' value='",
      "</go></anchor></td><td>", "'/></go></anchor></td><td>", CGI_ROW_END, CGI_ROW_START};
  if (size < 2 || size > 24) return;
  const auto& [token, bit] = REFERENCE_TOKENS[data[0] % 5];
  std::string host, service;
  bool in_service = false;
  for (std::size_t k = 1; k < size; ++k) {
    if (data[k] == 0) {
      in_service = true;
      continue;
    }
    (in_service ? service : host) += fragments[data[k] % std::size(fragments)];
  }
  const bool host_row = bit & (TOKEN_DWN | TOKEN_UNR);
  if (host.empty() || (!host_row && service.empty())) return;
  if (host_row) service.clear();
  const std::string row = written_cgi_row(token, host, service);
  const CgiRowSolution solved = solve_cgi_row(row);
  const CgiRowSolution hashed = solve_cgi_row(row, 0);
  const CgiRowSolution plain = reference_solve_cgi_row(row);
  for (const CgiRowSolution* way : {&solved, &hashed}) {
    FUZZ_CHECK(way->readings == plain.readings && way->tokens == plain.tokens);
    FUZZ_CHECK(same_view(way->reading.host, plain.reading.host) && same_view(way->reading.service, plain.reading.service));
  }
  // The names written are a reading: read exactly, or told unread.
  FUZZ_CHECK(solved.readings >= 1);
  if (solved.readings == 1) FUZZ_CHECK(solved.reading.host == host && solved.reading.service == service);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  check_fragment_row(data, size);
  const string_view body(reinterpret_cast<const char*>(data), size);
  const PageLines fast = read_page_lines(body);
  const PageLines plain = plain_reader(body);
  FUZZ_CHECK(fast.unread_status_cell == plain.unread_status_cell);
  FUZZ_CHECK(fast.lines.size() == plain.lines.size());
  for (std::size_t k = 0; k < fast.lines.size(); ++k) {
    const ProblemLine& a = fast.lines[k];
    const ProblemLine& b = plain.lines[k];
    FUZZ_CHECK(a.text.data() == b.text.data() && a.text.size() == b.text.size());
    FUZZ_CHECK(a.tokens == b.tokens && a.form == b.form);
    FUZZ_CHECK(a.name_cell.data() == b.name_cell.data() && a.name_cell.size() == b.name_cell.size());
  }
  FUZZ_CHECK(fast.unread.size() == plain.unread.size());
  for (std::size_t k = 0; k < fast.unread.size() && k < plain.unread.size(); ++k) {
    FUZZ_CHECK(fast.unread[k].at == plain.unread[k].at && same_view(fast.unread[k].text, plain.unread[k].text));
    FUZZ_CHECK(fast.unread[k].tokens == plain.unread[k].tokens);
  }
  // Without the cells outside rows, the same problems (a page without
  // "<tr" is read as lines alone).
  const PageLines rows_only = read_page_lines(body, false);
  FUZZ_CHECK(rows_only.lines.size() == fast.lines.size());
  for (std::size_t k = 0; k < fast.lines.size(); ++k) {
    FUZZ_CHECK(rows_only.lines[k].text.data() == fast.lines[k].text.data());
    FUZZ_CHECK(rows_only.lines[k].text.size() == fast.lines[k].text.size());
    FUZZ_CHECK(rows_only.lines[k].name_cell.data() == fast.lines[k].name_cell.data());
  }
  FUZZ_CHECK(!rows_only.unread_status_cell || fast.unread_status_cell);
  FUZZ_CHECK(rows_only.unread.size() == fast.unread.size());
  return 0;
}
