#include "report/problem_lines.h"

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "common/text_search.h"
#include "report/cgi_row.h"
#include "report/joined_rows.h"
#include "report/table_row.h"

namespace {

// Whether rest, in lower case, follows at line[at] without regard to case.
// Only the line's side is folded: this runs at every candidate place.
inline bool follows(std::string_view line, std::size_t at, std::string_view rest) {
  if (line.size() - at < rest.size()) return false;
  for (std::size_t k = 0; k < rest.size(); ++k)
    if (fold_ascii(line[at + k]) != static_cast<unsigned char>(rest[k])) return false;
  return true;
}

// Marks the token or "#comments" that starts at line[at], if any.
inline void mark_at(std::string_view line, std::size_t at, LineMarks& marks) {
  switch (fold_ascii(line[at])) {
    case 'w': if (follows(line, at + 1, "rn")) marks.tokens |= TOKEN_WRN; break;
    case 'c': if (follows(line, at + 1, "ri")) marks.tokens |= TOKEN_CRI; break;
    case 'd': if (follows(line, at + 1, "wn")) marks.tokens |= TOKEN_DWN; break;
    case 'u':
      if (follows(line, at + 1, "nk")) marks.tokens |= TOKEN_UNK;
      else if (follows(line, at + 1, "nr")) marks.tokens |= TOKEN_UNR;
      break;
    case '#': if (follows(line, at + 1, "comments")) marks.has_comments = true; break;
    default: break;
  }
}

}  // namespace

// One pass over the line. Sixteen bytes at a time where the processor allows:
// only the bytes that can start a token (w, c, d, u in either case, and "#")
// are looked at closer.
LineMarks mark_line(std::string_view line) {
  LineMarks marks;
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i case_bit = _mm_set1_epi8(0x20);
  const __m128i w = _mm_set1_epi8('w'), c = _mm_set1_epi8('c'), d = _mm_set1_epi8('d'), u = _mm_set1_epi8('u');
  const __m128i hash = _mm_set1_epi8('#');
  for (; i + 16 <= line.size(); i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data() + i));
    // Setting the case bit folds upper-case letters, and only they reach the
    // same lower-case letter.
    const __m128i folded = _mm_or_si128(bytes, case_bit);
    const __m128i starts = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(folded, w), _mm_cmpeq_epi8(folded, c)),
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(folded, d), _mm_cmpeq_epi8(folded, u)), _mm_cmpeq_epi8(bytes, hash)));
    for (auto bits = static_cast<unsigned>(_mm_movemask_epi8(starts)); bits != 0; bits &= bits - 1)
      mark_at(line, i + static_cast<std::size_t>(__builtin_ctz(bits)), marks);
  }
#endif
  for (; i < line.size(); ++i) mark_at(line, i, marks);
  return marks;
}

namespace {

using std::string_view;
constexpr auto npos = string_view::npos;

// The tag at body[at] is tag ("<tr") followed by '>', a blank or '/'.
bool opens(string_view body, std::size_t at, string_view tag) {
  const std::size_t after = at + tag.size();
  if (after >= body.size() || !tag_at(body, at, tag)) return false;
  const char c = body[after];
  return c == '>' || c == '/' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The next '<' at or after at that may open a row, a cell or a comment or
// close one: followed by 't', 'T', '/' or '!'. Most tags of a page are
// none of these (postfield elements, anchors), so they are passed over
// sixteen bytes at a time where the processor allows.
std::size_t next_tag(string_view body, std::size_t at) {
  // "<t", "</t" or "<!"; the bytes past the end count as none of these.
  const auto candidate = [&](std::size_t i) {
    if (body[i] != '<' || i + 1 >= body.size()) return false;
    const char next = body[i + 1];
    return fold_ascii(next) == 't' || next == '!' || (next == '/' && i + 2 < body.size() && fold_ascii(body[i + 2]) == 't');
  };
#if defined(__SSE2__)
  const __m128i open = _mm_set1_epi8('<'), t = _mm_set1_epi8('t'), slash = _mm_set1_epi8('/');
  const __m128i bang = _mm_set1_epi8('!'), case_bit = _mm_set1_epi8(0x20);
  for (; at + 18 <= body.size(); at += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(body.data() + at));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(body.data() + at + 1));
    const __m128i third = _mm_loadu_si128(reinterpret_cast<const __m128i*>(body.data() + at + 2));
    // Setting the case bit folds upper-case letters, and only 'T' reaches 't'.
    const __m128i closing = _mm_and_si128(_mm_cmpeq_epi8(next, slash), _mm_cmpeq_epi8(_mm_or_si128(third, case_bit), t));
    const __m128i wanted =
        _mm_or_si128(_mm_cmpeq_epi8(_mm_or_si128(next, case_bit), t), _mm_or_si128(closing, _mm_cmpeq_epi8(next, bang)));
    const auto bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(bytes, open), wanted)));
    if (bits) return at + static_cast<std::size_t>(__builtin_ctz(bits));
  }
#endif
  for (; at < body.size(); ++at)
    if (candidate(at)) return at;
  return npos;
}

// Whether body holds "<tr" in any case anywhere. Pages in the older
// layouts hold none, and then the lines are all there is to read.
bool may_hold_rows(string_view body) {
  std::size_t at = 0;
#if defined(__SSE2__)
  const __m128i open = _mm_set1_epi8('<'), t = _mm_set1_epi8('t'), r = _mm_set1_epi8('r');
  const __m128i case_bit = _mm_set1_epi8(0x20);
  for (; at + 18 <= body.size(); at += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(body.data() + at));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(body.data() + at + 1));
    const __m128i third = _mm_loadu_si128(reinterpret_cast<const __m128i*>(body.data() + at + 2));
    const __m128i found = _mm_and_si128(_mm_cmpeq_epi8(bytes, open),
                                        _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(next, case_bit), t),
                                                      _mm_cmpeq_epi8(_mm_or_si128(third, case_bit), r)));
    if (_mm_movemask_epi8(found)) return true;
  }
#endif
  for (; at + 2 < body.size(); ++at)
    if (body[at] == '<' && fold_ascii(body[at + 1]) == 't' && fold_ascii(body[at + 2]) == 'r') return true;
  return false;
}

// Whether a cell's own text is a status token. Cells outside rows are many
// on pages of the older layouts, and few hold a token at all: the quick
// token scan rules those out first.
bool holds_status(string_view content) { return mark_line(content).tokens != 0 && cell_status(cell_own_text(content)); }

// What one forward pass over the body keeps track of.
struct Scan {
  string_view body;
  std::size_t last_newline = npos;  // npos: no line at all
  std::size_t outside_from = 0; // text before this was read already
  std::size_t row = npos;       // the open "<tr", if any
  std::size_t cell = npos;      // where the open cell's text starts, if any
  std::vector<string_view> cells;  // the open row's cells
  bool every_cell = true;          // look at the cells outside rows too
  std::size_t core_at = npos;      // the first CGI_ROW_CORE at or after core_from
  std::size_t core_from = npos;    // npos: not looked for yet
  std::size_t tokenless_end = npos;  // the end of a line whose row starts hold no token where the CGI writes it
  std::vector<JoinedRow> joined;     // the rows of the joined line last read, from joined_from to joined_end
  std::size_t joined_from = 0, joined_end = 0, joined_next = 0;
  PageLines page;

  // The lines of the text outside rows in [outside_from, end). A piece cut
  // off by a row is a line when its line ends later in the body.
  void read_lines(std::size_t end) {
    std::size_t start = outside_from;
    outside_from = end;
    while (start < end) {
      const void* newline = std::memchr(body.data() + start, '\n', end - start);
      std::size_t stop = newline ? static_cast<std::size_t>(static_cast<const char*>(newline) - body.data()) + 1 : end;
      if (!newline && (last_newline == npos || last_newline < end)) return;
      const string_view line = body.substr(start, stop - start);
      start = stop;
      const LineMarks marks = mark_line(line);
      if (marks.tokens != 0 && !marks.has_comments) page.lines.push_back({line, marks.tokens, LineForm::PATTERNS, {}});
    }
  }

  void end_cell(std::size_t at) {
    if (cell == npos) return;
    const string_view content = body.substr(cell, at - cell);
    cell = npos;
    if (row != npos)
      cells.push_back(content);
    else if (every_cell && holds_status(content))
      // A status cell outside any row: not read as a row.
      page.unread_status_cell = true;
  }

  // A row that is not closed: its text stays for the lines.
  void drop_row() {
    if (every_cell)
      for (const string_view content : cells)
        if (holds_status(content)) page.unread_status_cell = true;
    cells.clear();
    row = npos;
  }

  void end_row(std::size_t end) {
    read_lines(row);
    const TableRow read = read_row_cells(cells);
    if (read.status) page.lines.push_back({body.substr(row, end - row), read.status, LineForm::ROW, read.name_cell});
    if (read.unread_status) {
      unsigned tokens = 0;
      for (const string_view content : cells) tokens |= cell_status(cell_own_text(content));
      page.unread.push_back({row, body.substr(row, end - row), tokens});
    }
    outside_from = end;
    cells.clear();
    row = npos;
  }

  // Takes a row in the CGI's form, body[at, end): a problem when reading
  // is one, else unread. Whatever stands before it on its line was read.
  std::size_t take_cgi_row(std::size_t at, std::size_t end, const CgiRowReading* reading, unsigned tokens) {
    end_cell(at);
    if (row != npos) drop_row();
    read_lines(at);
    const string_view text = body.substr(at, end - at);
    if (reading)
      page.lines.push_back({text, reading->status, LineForm::CGI_ROW, reading->host});
    else
      page.unread.push_back({at, text, tokens});
    outside_from = end;
    return end;
  }

  // The row of the joined line being read that starts at at, if any.
  std::size_t joined_row(std::size_t at) {
    while (joined_next < joined.size() && joined_from + joined[joined_next].start < at) ++joined_next;
    if (joined_next == joined.size() || joined_from + joined[joined_next].start != at) return npos;
    const JoinedRow& row_read = joined[joined_next++];
    const std::size_t end = joined_from + row_read.end;
    if (row_read.kind != JoinedKind::CELLS)
      return take_cgi_row(at, end, row_read.kind == JoinedKind::READ ? &row_read.reading : nullptr, row_read.tokens);
    // A piece without a token where the CGI writes one is read by its
    // cells, on its own: nothing in it (a comment, a tag left open) reaches
    // the rows after it.
    end_cell(at);
    if (row != npos) drop_row();
    read_lines(at);
    PageLines piece = read_page_lines(body.substr(at, end - at), every_cell);
    page.lines.insert(page.lines.end(), piece.lines.begin(), piece.lines.end());
    for (UnreadRow& unread : piece.unread) {
      unread.at += at;
      page.unread.push_back(unread);
    }
    page.unread_status_cell |= piece.unread_status_cell;
    outside_from = end;
    return end;
  }

  // The row in the CGI's form that starts at at, read whole; npos when
  // there is none. The core is looked for once per stretch of the body, so
  // a long line of row starts costs one pass.
  std::size_t cgi_row(std::size_t at) {
    // Inside a joined line only the starts of its rows are rows.
    if (at < joined_end) return joined_row(at);
    if (core_from == npos || (core_at != npos && core_at < at)) {
      core_at = body.find(CGI_ROW_CORE, at);
      core_from = at;
    }
    const std::size_t end = cgi_row_end(body, at, core_at);
    if (end == npos || end == tokenless_end) return npos;
    const string_view text = body.substr(at, end - at);
    const CgiRowSolution solved = solve_cgi_row(text);
    // No token where the CGI writes one: not its row, but one for the cells.
    // No later start on the same line can hold one either.
    if (!solved.tokens) {
      tokenless_end = end;
      return npos;
    }
    if (solved.readings == 0) {
      // Rows joined on one line, each read on its own.
      joined = read_joined_rows(text);
      if (!joined.empty()) {
        joined_from = at;
        joined_end = end;
        joined_next = 0;
        return joined_row(at);
      }
    }
    return take_cgi_row(at, end, solved.readings == 1 ? &solved.reading : nullptr, solved.tokens);
  }
};

}  // namespace

PageLines read_page_lines(string_view body, bool every_cell) {
  Scan scan;
  scan.every_cell = every_cell;
  scan.body = body;
  scan.last_newline = body.rfind('\n');
  // Without rows, and without a look at the cells outside them, the text
  // is lines alone.
  std::size_t at = every_cell || may_hold_rows(body) ? 0 : body.size();
  while (at < body.size()) {
    const std::size_t tag = next_tag(body, at);
    if (tag == npos) break;
    at = tag + 1;
    const unsigned char kind = fold_ascii(body[at]);
    if (kind == '!') {
      if (!tag_at(body, tag, "<!--")) continue;
      // Rows and cells inside a comment are none; one that never ends runs
      // to the end of the body.
      at = std::min(comment_end(body, tag), body.size());
    } else if (kind == 't' && opens(body, tag, "<tr")) {
      if (const std::size_t end = scan.cgi_row(tag); end != npos) {
        at = end;
        continue;
      }
      scan.end_cell(tag);
      if (scan.row != npos) scan.drop_row();
      scan.row = tag;
    } else if (kind == 't' && opens(body, tag, "<td")) {
      // The cell's text starts after the first '>': a '>' inside a quoted
      // attribute of a cell is not written by the server. A tag that never
      // ends is none, and no later one can end either.
      const void* close = std::memchr(body.data() + tag, '>', body.size() - tag);
      if (!close) break;
      scan.end_cell(tag);
      at = static_cast<std::size_t>(static_cast<const char*>(close) - body.data()) + 1;
      scan.cell = at;
    } else if (kind == '/' && tag_at(body, tag, "</td>")) {
      scan.end_cell(tag);
      at = tag + 5;
    } else if (kind == '/' && tag_at(body, tag, "</tr>")) {
      scan.end_cell(tag);
      at = tag + 5;
      if (scan.row != npos) scan.end_row(at);
    }
  }
  scan.end_cell(body.size());
  if (scan.row != npos) scan.drop_row();
  scan.read_lines(body.size());
  return std::move(scan.page);
}

std::vector<ProblemLine> split_problem_lines(string_view body) { return read_page_lines(body, false).lines; }
