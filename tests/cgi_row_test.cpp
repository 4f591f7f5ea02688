// Rows in the status CGI's form, read whole: names that hold the row's own
// fixed text, rows whose places disagree, and random names built from those
// fragments, each read exactly or told unread, against the plain reference.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "reference_cgi_row.h"
#include "report/cgi_row.h"
#include "report/line_names.h"
#include "report/problem_lines.h"

namespace {

struct NamesCase {
  const char* name;
  const char* token;
  std::string host, service;
};

void PrintTo(const NamesCase& c, std::ostream* out) { *out << c.name; }

const NamesCase names_cases[] = {
    {"cell_end_in_host", "UNR", "gw</td>", ""},
    {"go_tag_in_host", "DWN", "db <go 1", ""},
    {"go_tag_in_service", "CRI", "web1", "x<go y"},
    {"value_end_in_host", "DWN", "a'/>b", ""},
    {"whole_postfield_as_host", "UNR", "<postfield name='host' value='evil'/>", ""},
    {"token_and_go_in_host", "DWN", "x>CRI<go y", ""},
    {"slashes_in_both", "WRN", "a/b", "c/d"},
    {"row_tags_in_names", "UNK", "<tr><td>", "</td></tr><tr>"},
    {"core_in_service", "CRI", "h", std::string("'>DWN") + std::string(CGI_ROW_CORE) + "x"},
    {"service_element_in_host", "CRI", "h'/><postfield name='service' value='s", "s"},
    {"cell_text_in_names", "WRN", "'/></go></anchor></td><td>", "'/></go></anchor></td><td>"},
};

class SolvedRow : public testing::TestWithParam<NamesCase> {};

TEST_P(SolvedRow, ReadsTheNamesAsWritten) {
  const NamesCase& c = GetParam();
  const std::string row = written_cgi_row(c.token, c.host, c.service);
  const CgiRowSolution solved = solve_cgi_row(row);
  ASSERT_EQ(solved.readings, 1);
  EXPECT_EQ(solved.reading.host, c.host);
  EXPECT_EQ(solved.reading.service, c.service);
  const CgiRowSolution plain = reference_solve_cgi_row(row);
  EXPECT_EQ(plain.readings, 1);
  EXPECT_EQ(solved.tokens, plain.tokens);
  // The hashes' way reads the same.
  const CgiRowSolution hashed = solve_cgi_row(row, 0);
  ASSERT_EQ(hashed.readings, 1);
  EXPECT_EQ(hashed.reading.host, c.host);
  EXPECT_EQ(hashed.reading.service, c.service);

  // On a page, on a line of its own, the same names, and nothing else.
  const std::string page = "<table>\n" + row + "\r\n" + row + "\n</table>\n";
  const PageLines lines = read_page_lines(page);
  ASSERT_EQ(lines.lines.size(), 2u);
  EXPECT_TRUE(lines.unread.empty());
  for (const ProblemLine& line : lines.lines) {
    EXPECT_EQ(line.form, LineForm::CGI_ROW);
    const LineNames names = read_line_names(line, false);
    EXPECT_EQ(names.host, c.host);
    EXPECT_EQ(names.service, c.service);
    EXPECT_TRUE(names.whole);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, SolvedRow, testing::ValuesIn(names_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UnreadRow, PlacesThatDisagreeAreNoReadingButAreCounted) {
  // The host's value is not the title's: no single reading.
  std::string row = written_cgi_row("DWN", "a", "");
  row.replace(row.find("value='a'"), 9, "value='b'");
  const CgiRowSolution solved = solve_cgi_row(row);
  EXPECT_EQ(solved.readings, 0);
  EXPECT_EQ(solve_cgi_row(row, 0).readings, 0);
  EXPECT_EQ(solved.tokens, TOKEN_DWN);
  const std::string page = "x\n" + row + "\n" + written_cgi_row("CRI", "web1", "Load") + "\n";
  const PageLines lines = read_page_lines(page);
  ASSERT_EQ(lines.unread.size(), 1u);
  EXPECT_EQ(lines.unread[0].at, 2u);
  EXPECT_EQ(lines.unread[0].text, row);
  EXPECT_EQ(lines.unread[0].tokens, TOKEN_DWN);
  ASSERT_EQ(lines.lines.size(), 1u);
  EXPECT_EQ(lines.lines[0].name_cell, "web1");
}

TEST(UnreadRow, OnlyTheCgiFormIsReadWhole) {
  // No token where the CGI writes it: the row is read by its cells.
  const std::string name_first =
      "<tr><td><anchor title='db1'>db1<go href='statuswml.cgi' method='post'><postfield name='host' "
      "value='db1'/></go></anchor></td><td>DWN</td></tr>\n";
  PageLines lines = read_page_lines(name_first);
  ASSERT_EQ(lines.lines.size(), 1u);
  EXPECT_EQ(lines.lines[0].form, LineForm::ROW);
  // Two rows on one line fit no reading as one row: each is read whole
  // (joined_rows_test.cpp has the ways rows are joined).
  const std::string two = written_cgi_row("DWN", "db1", "") + written_cgi_row("CRI", "web1", "Load") + "\n";
  lines = read_page_lines(two);
  ASSERT_EQ(lines.lines.size(), 2u);
  EXPECT_EQ(lines.lines[0].form, LineForm::CGI_ROW);
  EXPECT_EQ(lines.lines[1].name_cell, "web1");
  EXPECT_TRUE(lines.unread.empty());
}

// Names drawn from the row's own fixed text: each row is read exactly, or
// told unread; never lost, never read as other names. The reference agrees
// on every row.
TEST(FragmentNames, EachReadExactlyOrUnread) {
  const std::vector<std::string> fragments = {
      "'", "'>", "/", "<go ", "'/>", "</td>", "<td>", "<tr>", "</tr>", "DWN", "CRI", "UNR", "WRN", "UNK", "a", "b",
      std::string(CGI_ROW_CORE), "<postfield name='host' value='", "<postfield name='service' value='",
      "</go></anchor></td><td>", "'/></go></anchor></td><td>", "</td></tr>", "<tr><td><anchor title='"};
  std::mt19937 random(29);
  const auto name = [&] {
    std::string text;
    const int pieces = 1 + static_cast<int>(random() % 4);
    for (int k = 0; k < pieces; ++k) text += fragments[random() % fragments.size()];
    return text;
  };
  const char* const tokens[] = {"DWN", "UNR", "WRN", "CRI", "UNK"};
  int exact = 0, unread = 0;
  constexpr int ROWS = 400;
  for (int k = 0; k < ROWS; ++k) {
    const std::string token = tokens[random() % 5];
    const bool host_row = token == "DWN" || token == "UNR";
    const std::string host = name(), service = host_row ? "" : name();
    const std::string row = written_cgi_row(token, host, service);
    const CgiRowSolution solved = solve_cgi_row(row);
    const CgiRowSolution plain = reference_solve_cgi_row(row);
    ASSERT_EQ(solved.readings, plain.readings) << row;
    ASSERT_EQ(solved.tokens, plain.tokens) << row;
    ASSERT_GE(solved.readings, 1) << row;  // the names written are a reading
    const CgiRowSolution hashed = solve_cgi_row(row, 0);
    ASSERT_EQ(hashed.readings, solved.readings) << row;
    ASSERT_EQ(hashed.reading.host, solved.reading.host) << row;
    if (solved.readings == 1) {
      ASSERT_EQ(solved.reading.host, host) << row;
      ASSERT_EQ(solved.reading.service, service) << row;
      ++exact;
    } else {
      ++unread;
    }
    // On a page the row is a problem or an unread row, never lost.
    const PageLines page = read_page_lines(row + "\n");
    ASSERT_EQ(page.lines.size() + page.unread.size(), 1u) << row;
  }
  std::printf("fragment-name rows read exactly: %d of %d (%d unread)\n", exact, ROWS, unread);
  RecordProperty("read_exactly", exact);
}

}  // namespace
