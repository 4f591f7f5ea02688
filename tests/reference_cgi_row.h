#pragma once
// The reading of a row in the status CGI's form, done the plain way: every
// token and every split into names tried, the row written again from them
// and compared whole. Slow (quadratic), and kept only as the yardstick the
// solver is compared against, in the unit tests and the fuzz target.
#include <string>
#include <string_view>
#include <utility>

#include "report/cgi_row.h"
#include "report/problem_lines.h"

inline const std::pair<const char*, unsigned> REFERENCE_TOKENS[] = {
    {"DWN", TOKEN_DWN}, {"UNR", TOKEN_UNR}, {"WRN", TOKEN_WRN}, {"CRI", TOKEN_CRI}, {"UNK", TOKEN_UNK}};

// The row as the CGI writes it for these names; no service: a host's row.
inline std::string written_cgi_row(std::string_view token, std::string_view host, std::string_view service) {
  // Appended piece by piece: temporaries joined with operator+ trip a false
  // -Wrestrict alarm of g++ 12 at -O2 and above.
  std::string row = "<tr><td><anchor title='";
  row.append(service.empty() ? host : service).append("'>").append(token);
  row.append("<go href='statuswml.cgi' method='post'><postfield name='host' value='").append(host).append("'/>");
  if (!service.empty()) row.append("<postfield name='service' value='").append(service).append("'/>");
  row.append("</go></anchor></td><td>").append(host);
  if (!service.empty()) row.append("/").append(service);
  row.append("</td></tr>");
  return row;
}

inline CgiRowSolution reference_solve_cgi_row(std::string_view row) {
  CgiRowSolution solution;
  const std::size_t start = CGI_ROW_START.size();
  // The tokens that stand where a token may stand: after a title of one
  // byte or more, between "'>" and the core.
  for (std::size_t at = start + 1; at < row.size(); ++at)
    for (const auto& [token, bit] : REFERENCE_TOKENS)
      if (row.substr(at).starts_with(std::string("'>") + token + std::string(CGI_ROW_CORE))) solution.tokens |= bit;
  const auto found = [&](unsigned bit, std::string_view host, std::string_view service) {
    if (++solution.readings == 1)
      solution.reading = {bit, host, service};
    else
      solution.reading = {};
  };
  const std::string_view empty;
  // The length of a service row with names of h and s bytes: its fixed
  // text, twice the host and three times the service.
  const std::size_t fixed = written_cgi_row("CRI", "h", "s").size() - 5;
  for (const auto& [token, bit] : REFERENCE_TOKENS) {
    const bool host_row = bit & (TOKEN_DWN | TOKEN_UNR);
    // The first name stands right after the row's start; the host of a
    // service row right after the core.
    for (std::size_t first = 1; start + first <= row.size(); ++first) {
      const std::string_view title = row.substr(start, first);
      if (host_row) {
        if (written_cgi_row(token, title, empty) == row) found(bit, title, empty);
        continue;
      }
      const std::size_t host_at = start + first + 5 + CGI_ROW_CORE.size();
      for (std::size_t h = 1; host_at + h <= row.size(); ++h) {
        const std::string_view host = row.substr(host_at, h);
        if (fixed + 2 * h + 3 * first != row.size()) continue;
        if (written_cgi_row(token, host, title) == row) found(bit, host, title);
      }
    }
  }
  if (solution.readings > 2) solution.readings = 2;
  return solution;
}

// The rows of a joined line, done the plain way: cut at every place where
// "</td></tr>" meets a row's start (directly or across "<br/>"), each piece
// read alone by the plain reading, and every run of pieces that fit no
// reading tried again joined back, every way of up to JOINED_PIECES pieces a
// row, the fewest pieces left over, none taken where two ways leave as few.
#include <algorithm>
#include <vector>

#include "report/joined_rows.h"

inline std::vector<JoinedRow> reference_read_joined_rows(std::string_view line) {
  struct Piece {
    std::size_t start, end;
    CgiRowSolution alone;
  };
  std::vector<Piece> pieces;
  std::size_t start = 0;
  const std::string broken_start = std::string(JOINED_BREAK) + std::string(CGI_ROW_START);
  for (std::size_t end = CGI_ROW_END.size(); end < line.size(); ++end) {
    if (line.substr(0, end).ends_with(CGI_ROW_END) && end >= start + CGI_ROW_END.size()) {
      const std::string_view rest = line.substr(end);
      if (rest.starts_with(CGI_ROW_START)) {
        pieces.push_back({start, end, {}});
        start = end;
      } else if (rest.starts_with(broken_start)) {
        pieces.push_back({start, end, {}});
        start = end + JOINED_BREAK.size();
      }
    }
  }
  std::vector<JoinedRow> rows;
  if (pieces.empty()) return rows;
  pieces.push_back({start, line.size(), {}});
  for (Piece& piece : pieces) piece.alone = reference_solve_cgi_row(line.substr(piece.start, piece.end - piece.start));
  // A piece left over holds a token where the CGI writes one, also right
  // after its start (an empty title): unread; else a row for its cells.
  const auto left_over = [&](const Piece& piece) {
    unsigned tokens = piece.alone.tokens;
    const std::string_view text = line.substr(piece.start, piece.end - piece.start);
    for (const auto& [token, bit] : REFERENCE_TOKENS)
      if (text.substr(CGI_ROW_START.size()).starts_with(std::string("'>") + token + std::string(CGI_ROW_CORE)))
        tokens |= bit;
    return tokens ? JoinedRow{piece.start, piece.end, JoinedKind::UNREAD, {}, tokens}
                  : JoinedRow{piece.start, piece.end, JoinedKind::CELLS, {}, 0};
  };
  for (std::size_t first = 0; first < pieces.size();) {
    if (pieces[first].alone.readings == 1) {
      rows.push_back({pieces[first].start, pieces[first].end, JoinedKind::READ, pieces[first].alone.reading, 0});
      ++first;
      continue;
    }
    std::size_t last = first;
    while (last < pieces.size() && pieces[last].alone.readings != 1) ++last;
    // The fewest pieces left over up to each piece's end, how many ways
    // leave that few (two: too many), and the last step of one of them.
    struct Step {
      std::size_t left_over = SIZE_MAX;
      int ways = 0;
      std::size_t from = 0;
      bool joined = false;
      CgiRowReading reading;
    };
    std::vector<Step> steps(last - first + 1);
    steps[0] = {0, 1, 0, false, {}};
    const auto reach = [](Step& step, std::size_t left_over, int ways, Step how) {
      if (left_over < step.left_over) {
        how.left_over = left_over;
        how.ways = std::min(ways, 2);
        step = how;
      } else if (left_over == step.left_over) {
        step.ways = std::min(step.ways + ways, 2);
      }
    };
    for (std::size_t i = 0; first + i < last; ++i) {
      reach(steps[i + 1], steps[i].left_over + 1, steps[i].ways, {0, 0, i, false, {}});
      for (std::size_t j = i + 1; first + j < last && j < i + JOINED_PIECES; ++j) {
        const std::size_t from = pieces[first + i].start, to = pieces[first + j].end;
        const CgiRowSolution joined = reference_solve_cgi_row(line.substr(from, to - from));
        if (joined.readings)
          reach(steps[j + 1], steps[i].left_over, steps[i].ways * joined.readings, {0, 0, i, true, joined.reading});
      }
    }
    if (last - first >= 2 && steps[last - first].ways == 1) {
      std::vector<JoinedRow> found;
      for (std::size_t k = last - first; k > 0; k = steps[k].from) {
        const Step& step = steps[k];
        if (step.joined)
          found.push_back({pieces[first + step.from].start, pieces[first + k - 1].end, JoinedKind::READ, step.reading, 0});
        else
          found.push_back(left_over(pieces[first + step.from]));
      }
      rows.insert(rows.end(), found.rbegin(), found.rend());
    } else {
      for (std::size_t k = first; k < last; ++k) rows.push_back(left_over(pieces[k]));
    }
    first = last;
  }
  return rows;
}
