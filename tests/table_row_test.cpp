// Problem lines read by their cells: which lines are rows, the status a row
// carries, and the names each line yields.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "page_lines.h"
#include "report/line_names.h"
#include "report/problem_lines.h"
#include "report/table_row.h"

namespace {

// What the row reader gives of a problem: its status bits, whether it was
// read as a row, and the text of its name cell.
struct Read {
  unsigned tokens;
  bool row;
  std::string name_cell;
  bool operator==(const Read&) const = default;
};

void PrintTo(const Read& r, std::ostream* out) {
  *out << "{" << r.tokens << (r.row ? ", row, \"" : ", line, \"") << r.name_cell << "\"}";
}

struct RowCase {
  const char* name;
  std::string body;
  std::vector<Read> read;
  bool unread_status_cell = false;
  std::size_t unread_rows = 0;
};

void PrintTo(const RowCase& c, std::ostream* out) { *out << c.name; }

const std::string CRI_ROW = "<tr><td>CRI</td><td>web1/Load</td></tr>";
const std::string DWN_ROW = "<tr><td>DWN</td><td>db1</td></tr>";

const RowCase row_cases[] = {
    // The CGI's own rows come with their names solved: the host.
    {"cgi_service_row", cgi_row("CRI", "web1", "Load"), {{TOKEN_CRI, true, "web1"}}},
    {"cgi_host_row", cgi_row("DWN", "db1"), {{TOKEN_DWN, true, "db1"}}},
    {"rendition_row", rendition_row("UNR", "gw"), {{TOKEN_UNR, true, "gw"}}},
    {"blanks_before_and_crlf", "  \t<tr><td>WRN</td><td>a/b</td></tr>\r\n", {{TOKEN_WRN, true, "a/b"}}},
    {"token_cell_in_any_case", "<TR><td> unk </TD><Td>a/b</td></tR>\n", {{TOKEN_UNK, true, "a/b"}}},
    // Rows are found by their tags, whatever the lines.
    {"whole_page_on_one_line", "<wml><card><table>" + DWN_ROW + CRI_ROW + "</table></card></wml>",
     {{TOKEN_DWN, true, "db1"}, {TOKEN_CRI, true, "web1/Load"}}},
    {"rows_joined_by_a_break", DWN_ROW + "<br/>" + CRI_ROW + "\n",
     {{TOKEN_DWN, true, "db1"}, {TOKEN_CRI, true, "web1/Load"}}},
    {"row_over_two_lines", "<tr><td>CRI</td>\n<td>web1/Load</td></tr>\n", {{TOKEN_CRI, true, "web1/Load"}}},
    {"carriage_returns_alone", DWN_ROW + "\r" + CRI_ROW + "\r", {{TOKEN_DWN, true, "db1"}, {TOKEN_CRI, true, "web1/Load"}}},
    {"text_before_and_after_the_row", "x" + CRI_ROW + " trailing\n", {{TOKEN_CRI, true, "web1/Load"}}},
    {"row_with_attributes", "<tr class='odd'><td align='left'>CRI</td><td>a/b</td></tr>", {{TOKEN_CRI, true, "a/b"}}},
    // A row whose token cell holds no token reports no problem, whatever
    // its names hold.
    {"no_problems_row", "<tr><td>No problems</td></tr>\n", {}},
    {"heading_row", "<tr><td>Host</td><td>State</td></tr>\n", {}},
    {"token_only_inside_a_word", "<tr><td>CRITICAL</td><td>description/unknown</td></tr>\n", {}},
    {"token_among_other_words", "<tr><td>CRI 2d 4h</td><td>a/b</td></tr>\n", {{TOKEN_CRI, true, "a/b"}}},
    {"two_tokens_are_none", "<tr><td>DWN UNR</td><td>a</td></tr>\n", {}},
    // The cell right after the status cell names the problem; later cells not.
    {"third_cell", "<tr><td>CRI</td><td>web1/Load</td><td>since 3h</td></tr>\n", {{TOKEN_CRI, true, "web1/Load"}}},
    // Rows that name the problem first carry the token in their last cell.
    {"name_first_row",
     "<tr><td><anchor title='db1'>db1<go href='statuswml.cgi' method='post'><postfield name='host' "
     "value='db1'/></go></anchor></td><td>DWN</td></tr>\n",
     {{TOKEN_DWN, true, "db1"}}},
    // The token of the anchor form stands right before "<go": a title
    // holding quotes, '>' or status words decides nothing.
    {"title_with_quote_and_token", cgi_row("DWN", "Joe's unr box"), {{TOKEN_DWN, true, "Joe's unr box"}}},
    {"title_with_angle_and_token", cgi_row("UNR", "a>DWN b'"), {{TOKEN_UNR, true, "a>DWN b'"}}},
    {"quoted_angle_bracket", "<tr><td><anchor title='a>b'>CRI</anchor></td><td>a/b</td></tr>\n",
     {{TOKEN_CRI, true, "a/b"}}},
    {"lone_quote_in_a_value", "<tr><td><anchor title='x>CRI</td><td>a/b</td></tr>\n", {{TOKEN_CRI, true, "a/b"}}},
    // A status cell on a row that gives no problem: the row is unread.
    {"status_in_a_middle_cell", "<tr><td>web1</td><td>CRI</td><td>Load</td></tr>\n", {}, false, 1},
    {"status_cell_outside_rows", "<table><td>CRI</td><td>web1/Load</td></table>\n",
     {{TOKEN_CRI, false, ""}}, true},
    // A row never closed makes no row: its text is read by lines.
    {"row_never_closed", "<tr><td>CRI</td><td>web1/Load</td>\n<tr><td>x</td></tr>\n",
     {{TOKEN_CRI, false, ""}}, true},
    {"row_cut_by_the_end", "<tr><td>DWN</td><td>db1</td>", {}, true},
    // Rows inside comments are none; their text is read by lines.
    {"row_in_a_comment", "<!-- " + CRI_ROW + " -->\n", {{TOKEN_CRI, false, ""}}},
    // Text outside rows keeps the line rules.
    {"lines_around_rows", "a DWN\n" + CRI_ROW + "\nb WRN #comments\nc UNK",
     {{TOKEN_DWN, false, ""}, {TOKEN_CRI, true, "web1/Load"}}},
    {"line_piece_before_a_row", "x WRN " + CRI_ROW + "\n", {{TOKEN_WRN, false, ""}, {TOKEN_CRI, true, "web1/Load"}}},
    {"plain_line", "<postfield name='host' value='db1'/> DWN\n", {{TOKEN_DWN, false, ""}}},
    {"cell_never_closed", "<tr><td><anchor CRI</td></tr>\n", {}},
};

class RowReader : public testing::TestWithParam<RowCase> {};

TEST_P(RowReader, FindsEveryRowByItsTags) {
  const RowCase& c = GetParam();
  const PageLines page = read_page_lines(c.body);
  std::vector<Read> read;
  for (const ProblemLine& line : page.lines)
    read.push_back({line.tokens, line.form != LineForm::PATTERNS, std::string(line.name_cell)});
  EXPECT_EQ(read, c.read);
  EXPECT_EQ(page.unread_status_cell, c.unread_status_cell);
  EXPECT_EQ(page.unread.size(), c.unread_rows);
  for (const ProblemLine& line : page.lines)
    if (line.form == LineForm::ROW) {
      EXPECT_TRUE(line.text.starts_with("<") && line.text.ends_with(">")) << line.text;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, RowReader, testing::ValuesIn(row_cases),
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
  EXPECT_EQ(lines[0].form, LineForm::CGI_ROW);
  EXPECT_EQ(lines[1].tokens, TOKEN_WRN);
}

}  // namespace
