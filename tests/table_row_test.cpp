// Problem lines read by their cells: which lines are rows, the status a row
// carries, and the names each line yields.
#include <gtest/gtest.h>

#include <string>

#include "page_lines.h"
#include "report/line_names.h"
#include "report/problem_lines.h"
#include "report/table_row.h"

namespace {

struct RowCase {
  const char* name;
  std::string line;
  bool is_row;
  unsigned status;
  std::string name_cell;
};

void PrintTo(const RowCase& c, std::ostream* out) { *out << c.name; }

const RowCase row_cases[] = {
    {"cgi_service_row", cgi_row("CRI", "web1", "Load"), true, TOKEN_CRI, "web1/Load"},
    {"cgi_host_row", cgi_row("DWN", "db1"), true, TOKEN_DWN, "db1"},
    {"rendition_row", rendition_row("UNR", "gw"), true, TOKEN_UNR, "gw"},
    {"blanks_before_and_crlf", "  \t<tr><td>WRN</td><td>a/b</td></tr>\r\n", true, TOKEN_WRN, "a/b"},
    {"token_cell_in_any_case", "<tr><td> unk </td><td>a/b</td></tr>\n", true, TOKEN_UNK, "a/b"},
    // A row whose token cell holds no token reports no problem, whatever
    // its names hold.
    {"no_problems_row", "<tr><td>No problems</td></tr>\n", true, 0, ""},
    {"heading_row", "<tr><td>Host</td><td>State</td></tr>\n", true, 0, ""},
    {"token_only_inside_a_word", "<tr><td>CRITICAL</td><td>description/unknown</td></tr>\n", true, 0, ""},
    {"token_among_other_words", "<tr><td>CRI 2d 4h</td><td>a/b</td></tr>\n", true, TOKEN_CRI, "a/b"},
    {"two_tokens_are_none", "<tr><td>DWN UNR</td><td>a</td></tr>\n", true, 0, ""},
    // Rows that name the problem first carry the token in their last cell.
    {"name_first_row",
     "<tr><td><anchor title='db1'>db1<go href='statuswml.cgi' method='post'><postfield name='host' "
     "value='db1'/></go></anchor></td><td>DWN</td></tr>\n",
     true, TOKEN_DWN, "db1"},
    // A quoted '>' does not end a tag.
    {"quoted_angle_bracket", "<tr><td><anchor title='a>b'>CRI</anchor></td><td>a/b</td></tr>\n", true, TOKEN_CRI,
     "a/b"},
    {"not_ended_by_the_row", "<tr><td>CRI</td><td>a/b</td></tr> trailing\n", false, 0, ""},
    {"not_started_by_the_row", "x<tr><td>CRI</td><td>a/b</td></tr>\n", false, 0, ""},
    // A lone quote in a value written unescaped: the first '>' ends the tag.
    {"lone_quote_in_a_value", "<tr><td><anchor title='x>CRI</td><td>a/b</td></tr>\n", true, TOKEN_CRI, "a/b"},
    {"cell_never_closed", "<tr><td><anchor CRI</td></tr>\n", false, 0, ""},
    {"plain_line", "<postfield name='host' value='db1'/> DWN\n", false, 0, ""},
};

class RowForm : public testing::TestWithParam<RowCase> {};

TEST_P(RowForm, StatusFromTheTokenCellAlone) {
  const RowCase& c = GetParam();
  const TableRow row = read_table_row(c.line);
  EXPECT_EQ(row.is_row, c.is_row);
  EXPECT_EQ(row.status, c.status);
  EXPECT_EQ(row.name_cell, c.name_cell);
}

INSTANTIATE_TEST_SUITE_P(Table, RowForm, testing::ValuesIn(row_cases),
                         [](const auto& info) { return std::string(info.param.name); });

struct NamesCase {
  const char* name;
  std::string line;
  bool newcgi;
  std::string host, service;
  bool host_read, service_read, whole;
};

void PrintTo(const NamesCase& c, std::ostream* out) { *out << c.name; }

const NamesCase names_cases[] = {
    {"cgi_row", cgi_row("CRI", "web1", "Load"), false, "web1", "Load", true, true, true},
    {"cgi_row_newcgi", cgi_row("CRI", "web1", "Load"), true, "web1", "Load", true, true, true},
    // The elements are whole values: a token in a name changes nothing.
    {"token_in_service", cgi_row("WRN", "sunrise", "DNS unresolved"), false, "sunrise", "DNS unresolved", true,
     true, true},
    {"comments_in_name", cgi_row("CRI", "web1", "see #comments"), false, "web1", "see #comments", true, true, true},
    {"quote_in_name", cgi_row("CRI", "o'brien", "Load"), false, "o'brien", "Load", true, true, true},
    {"rendition_service", rendition_row("CRI", "web1", "Load/var"), false, "web1", "Load/var", true, true, true},
    {"rendition_host", rendition_row("DWN", "db1"), false, "db1", "", true, false, true},
    {"rendition_service_without_slash", rendition_row("WRN", "web1"), false, "web1", "", true, false, true},
    {"row_without_names", "<tr><td>CRI</td><td></td></tr>\n", false, "", "", false, false, true},
    // Other lines: the patterns first, then the last table cell.
    {"postfield_line", service_line("web1", "Load", "CRI"), true, "web1", "Load", true, true, false},
    {"postfield_line_without_newcgi", service_line("web1", "Load", "CRI"), false, "web1", "", true, false, false},
    {"last_cell_when_patterns_fail", "<tr class='x'><td>CRI</td><td>web1/Load</td></tr>\n", false, "web1", "Load",
     true, true, true},
    {"token_cell_names_nothing", "<p><td>x</td><td>CRI</td></p>\n", false, "", "", false, false, false},
    {"totals_line", "<p>21 CRITICAL</p>\n", false, "", "", false, false, false},
};

class Names : public testing::TestWithParam<NamesCase> {};

TEST_P(Names, AsTheLineWritesThem) {
  const NamesCase& c = GetParam();
  const auto lines = split_problem_lines(c.line);
  ASSERT_EQ(lines.size(), 1u);
  const LineNames names = read_line_names(lines[0], c.newcgi);
  EXPECT_EQ(names.host, c.host);
  EXPECT_EQ(names.service, c.service);
  EXPECT_EQ(names.host_read, c.host_read);
  EXPECT_EQ(names.service_read, c.service_read);
  EXPECT_EQ(names.whole, c.whole);
}

INSTANTIATE_TEST_SUITE_P(Table, Names, testing::ValuesIn(names_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// Rows are selected by their token cell: "#comments" and tokens in their
// names neither drop nor add a line.
TEST(RowSelection, TokenCellDecides) {
  const std::string body = cgi_row("CRI", "web1", "#comments") + "<tr><td>Host</td><td>description</td></tr>\n" +
                           rendition_row("WRN", "unreachable-box", "Disk");
  const auto lines = split_problem_lines(body);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].tokens, TOKEN_CRI);
  EXPECT_TRUE(lines[0].row);
  EXPECT_EQ(lines[1].tokens, TOKEN_WRN);
}

}  // namespace
