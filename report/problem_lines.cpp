#include "report/problem_lines.h"

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "common/text_search.h"
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

std::vector<ProblemLine> split_problem_lines(std::string_view body) {
  std::vector<ProblemLine> lines;
  std::size_t start = 0;
  while (start < body.size()) {
    const void* newline = std::memchr(body.data() + start, '\n', body.size() - start);
    if (!newline) break;
    const std::size_t end = static_cast<std::size_t>(static_cast<const char*>(newline) - body.data()) + 1;
    const std::string_view line = body.substr(start, end - start);
    start = end;
    // A row is read by its cells alone: tokens and "#comments" inside its
    // names change nothing, and a row without a status token is no problem.
    if (const TableRow row = read_table_row(line); row.is_row) {
      if (row.status) lines.push_back({line, row.status, true, row.name_cell});
      continue;
    }
    const LineMarks marks = mark_line(line);
    if (marks.tokens != 0 && !marks.has_comments) lines.push_back({line, marks.tokens, false, {}});
  }
  return lines;
}
