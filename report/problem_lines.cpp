#include "report/problem_lines.h"

#include <cstring>

#include "common/text_search.h"

namespace {

bool follows(std::string_view line, std::size_t at, std::string_view rest) {
  if (line.size() - at < rest.size()) return false;
  for (std::size_t k = 0; k < rest.size(); ++k)
    if (fold_ascii(static_cast<unsigned char>(line[at + k])) != static_cast<unsigned char>(rest[k]))
      return false;
  return true;
}

}  // namespace

// One pass over the line: only the first letter of a token (or the "#" of
// "#comments") can start a match, so every other byte costs one comparison.
LineMarks mark_line(std::string_view line) {
  LineMarks marks;
  for (std::size_t i = 0; i < line.size(); ++i) {
    switch (fold_ascii(static_cast<unsigned char>(line[i]))) {
      case 'w': if (follows(line, i + 1, "rn")) marks.tokens |= TOKEN_WRN; break;
      case 'c': if (follows(line, i + 1, "ri")) marks.tokens |= TOKEN_CRI; break;
      case 'd': if (follows(line, i + 1, "wn")) marks.tokens |= TOKEN_DWN; break;
      case 'u':
        if (follows(line, i + 1, "nk")) marks.tokens |= TOKEN_UNK;
        else if (follows(line, i + 1, "nr")) marks.tokens |= TOKEN_UNR;
        break;
      case '#': if (follows(line, i + 1, "comments")) marks.has_comments = true; break;
      default: break;
    }
  }
  return marks;
}

std::vector<ProblemLine> split_problem_lines(std::string_view body) {
  if (const void* zero = std::memchr(body.data(), 0, body.size()))
    body = body.substr(0, static_cast<std::size_t>(static_cast<const char*>(zero) - body.data()));
  std::vector<ProblemLine> lines;
  std::size_t start = 0;
  while (start < body.size()) {
    const void* newline = std::memchr(body.data() + start, '\n', body.size() - start);
    if (!newline) break;
    const std::size_t end = static_cast<std::size_t>(static_cast<const char*>(newline) - body.data()) + 1;
    const std::string_view line = body.substr(start, end - start);
    const LineMarks marks = mark_line(line);
    if (marks.tokens != 0 && !marks.has_comments) lines.push_back({line, marks.tokens});
    start = end;
  }
  return lines;
}
