#include "report/joined_rows.h"

#include <algorithm>
#include <cstdint>

namespace {

using std::string_view;
constexpr auto npos = string_view::npos;

bool starts_at(string_view text, std::size_t at, string_view piece) {
  return at <= text.size() && text.substr(at).starts_with(piece);
}

struct Piece {
  std::size_t start, end;
  CgiRowSolution alone;  // the piece read as a row on its own
};

// The pieces of line between the places where a row's end meets the next
// row's start; none when there is no such place.
std::vector<Piece> cut_pieces(string_view line) {
  std::vector<Piece> pieces;
  std::size_t start = 0;
  for (std::size_t at = line.find(CGI_ROW_END); at != npos; at = line.find(CGI_ROW_END, at + 1)) {
    const std::size_t end = at + CGI_ROW_END.size();
    if (end >= line.size()) break;
    std::size_t next = npos;
    if (starts_at(line, end, CGI_ROW_START))
      next = end;
    else if (starts_at(line, end, JOINED_BREAK) && starts_at(line, end + JOINED_BREAK.size(), CGI_ROW_START))
      next = end + JOINED_BREAK.size();
    if (next == npos) continue;
    pieces.push_back({start, end, {}});
    start = next;
  }
  if (pieces.empty()) return pieces;
  pieces.push_back({start, line.size(), {}});
  for (Piece& piece : pieces) piece.alone = solve_cgi_row(line.substr(piece.start, piece.end - piece.start));
  return pieces;
}

// A piece left over is unread when it holds a token where the CGI writes
// one; right after its start too, where a row whose title held the place
// where rows meet was cut. Without, it is no row of the CGI's form.
JoinedRow left_over(string_view line, const Piece& piece) {
  unsigned tokens = piece.alone.tokens;
  const string_view head =
      line.substr(piece.start, std::min(piece.end - piece.start, CGI_ROW_START.size() + 5 + CGI_ROW_CORE.size()));
  for (const TokenPlace& place : cgi_token_places(head))
    if (place.core == CGI_ROW_START.size() + 5) tokens |= place.status;
  if (tokens) return {piece.start, piece.end, JoinedKind::UNREAD, {}, tokens};
  return {piece.start, piece.end, JoinedKind::CELLS, {}, 0};
}

// One way to reach the end of a piece: the fewest pieces left over before
// it, how many ways leave that few (two: too many), and the last step.
struct Step {
  std::size_t left_over = SIZE_MAX;
  int ways = 0;
  std::size_t from = 0;      // the step's first piece
  bool joined = false;       // from .. this piece read as one row
  CgiRowReading reading;
};

void reach(Step& step, std::size_t left_over, int ways, std::size_t from, bool joined, const CgiRowReading& reading) {
  if (left_over < step.left_over) {
    step = {left_over, std::min(ways, 2), from, joined, reading};
  } else if (left_over == step.left_over) {
    step.ways = std::min(step.ways + ways, 2);
  }
}

// The pieces [first, last), none of which fits one reading alone, read
// again joined back where that leaves fewer over. Each row tried is found
// from the token places inside it and compared through hashes, so the cost
// is the run's length and its token places, each tried in at most nine
// rows (a piece lies in two rows of two pieces, three of three, four of
// four).
void join_back(string_view line, const std::vector<Piece>& pieces, std::size_t first, std::size_t last,
               std::vector<JoinedRow>& rows) {
  const std::size_t count = last - first;
  if (count >= 2) {
    const std::size_t base = pieces[first].start;
    const string_view text = line.substr(base, pieces[last - 1].end - base);
    const std::vector<TokenPlace> places = cgi_token_places(text);
    LazyHashes hashes{text, {}};
    std::vector<Step> steps(count + 1);
    steps[0] = {0, 1, 0, false, {}};
    for (std::size_t i = 0; i < count; ++i) {
      const Step& at = steps[i];
      reach(steps[i + 1], at.left_over + 1, at.ways, i, false, {});
      for (std::size_t j = i + 1; j < count && j < i + JOINED_PIECES; ++j) {
        const CgiRowSolution joined =
            solve_cgi_row_hashed(text, pieces[first + i].start - base, pieces[first + j].end - base, places, hashes);
        if (joined.readings) reach(steps[j + 1], at.left_over, at.ways * joined.readings, i, true, joined.reading);
      }
    }
    if (steps[count].ways == 1) {
      std::vector<std::size_t> ends;
      for (std::size_t k = count; k > 0; k = steps[k].from) ends.push_back(k);
      std::reverse(ends.begin(), ends.end());
      // The hashes chose the rows; each is taken when its bytes agree.
      const bool confirmed = std::all_of(ends.begin(), ends.end(), [&](std::size_t k) {
        const Step& step = steps[k];
        const std::size_t start = pieces[first + step.from].start, end = pieces[first + k - 1].end;
        return !step.joined || cgi_row_fits(line.substr(start, end - start), step.reading);
      });
      if (confirmed) {
        for (const std::size_t k : ends) {
          const Step& step = steps[k];
          const Piece& from = pieces[first + step.from];
          if (step.joined)
            rows.push_back({from.start, pieces[first + k - 1].end, JoinedKind::READ, step.reading, 0});
          else
            rows.push_back(left_over(line, from));
        }
        return;
      }
    }
  }
  for (std::size_t k = first; k < last; ++k) rows.push_back(left_over(line, pieces[k]));
}

}  // namespace

std::vector<JoinedRow> read_joined_rows(string_view line) {
  std::vector<JoinedRow> rows;
  const std::vector<Piece> pieces = cut_pieces(line);
  for (std::size_t k = 0; k < pieces.size();) {
    if (pieces[k].alone.readings == 1) {
      rows.push_back({pieces[k].start, pieces[k].end, JoinedKind::READ, pieces[k].alone.reading, 0});
      ++k;
      continue;
    }
    std::size_t last = k;
    while (last < pieces.size() && pieces[last].alone.readings != 1) ++last;
    join_back(line, pieces, k, last, rows);
    k = last;
  }
  return rows;
}
