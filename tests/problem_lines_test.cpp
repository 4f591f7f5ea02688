#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report/problem_lines.h"

namespace {

using namespace std::string_literals;

struct SplitCase {
  const char* name;
  std::string body;
  std::vector<std::string> selected;
};

// Test listings name the case, not its bytes.
void PrintTo(const SplitCase& c, std::ostream* out) { *out << c.name; }

std::vector<std::string> texts(const std::vector<ProblemLine>& lines) {
  std::vector<std::string> result;
  for (const auto& line : lines) result.emplace_back(line.text);
  return result;
}

class LineSelection : public testing::TestWithParam<SplitCase> {};

TEST_P(LineSelection, KeepsLinesWithATokenInPageOrder) {
  EXPECT_EQ(texts(split_problem_lines(GetParam().body)), GetParam().selected);
}

const SplitCase split_cases[] = {
    {"empty_body", "", {}},
    {"no_newline_at_all", "host DWN service CRI WRN UNK", {}},
    {"text_after_last_newline_dropped", "a DWN\nb CRI", {"a DWN\n"}},
    {"order_kept_and_others_skipped", "<wml>\nx WRN\nplain\ny UNR\n", {"x WRN\n", "y UNR\n"}},
    {"carriage_return_stays", "a DWN\r\nb\r\n", {"a DWN\r\n"}},
    {"case_ignored", "a dwn\nb Unr\nc wRn\nd cRi\ne uNK\n", {"a dwn\n", "b Unr\n", "c wRn\n", "d cRi\n", "e uNK\n"}},
    {"inside_words", "a description\nthe unreachable one\nunknown\nplain\n",
     {"a description\n", "the unreachable one\n", "unknown\n"}},
    {"comments_drop_a_problem_line", "a CRI #comments\nb #COMMENTS WRN\nc CRI #comment\n", {"c CRI #comment\n"}},
    {"token_across_lines_is_none", "a D\nWN\n", {}},
    {"token_at_line_end", "aDWN\n", {"aDWN\n"}},
};

INSTANTIATE_TEST_SUITE_P(Table, LineSelection, testing::ValuesIn(split_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LineSelection, MarksEveryTokenOfTheLine) {
  const auto lines = split_problem_lines("x WRN CRI UNK DWN UNR\nonly unreachable\n");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].tokens, TOKEN_WRN | TOKEN_CRI | TOKEN_UNK | TOKEN_DWN | TOKEN_UNR);
  EXPECT_EQ(lines[1].tokens, TOKEN_UNR);
}

// Tokens are found at every offset, across the blocks the line is read in.
TEST(LineSelection, FindsTokensAtEveryOffset) {
  const std::pair<std::string, unsigned> tokens[] = {{"wRn", TOKEN_WRN}, {"Cri", TOKEN_CRI}, {"uNK", TOKEN_UNK},
                                                     {"DWN", TOKEN_DWN}, {"unr", TOKEN_UNR}};
  for (std::size_t offset = 0; offset < 40; ++offset)
    for (const auto& [token, bit] : tokens) {
      const std::string line = std::string(offset, 'x') + token + std::string(40 - offset, 'y') + "\n";
      EXPECT_EQ(mark_line(line).tokens, bit) << line;
      const std::string split = std::string(offset, 'x') + token.substr(0, 2) + "\n" + token.substr(2) + "\n";
      EXPECT_TRUE(split_problem_lines(split).empty()) << split;
      EXPECT_TRUE(mark_line(std::string(offset, 'x') + "#CommentS " + token + "\n").has_comments);
    }
}

TEST(LineSelection, LongLinesAreKeptWhole) {
  const std::string line = std::string(10000, 'x') + " CRI\n";
  const std::string body = line + line;
  const auto lines = split_problem_lines(body);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].text, line);
}

}  // namespace
