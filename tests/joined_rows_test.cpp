// Rows in the status CGI's form joined on one line, as a page minified on its
// way has them: each row read whole, names holding the row's own markup
// solved, a broken row told unread beside the others read; and random rows
// whose names are built from the row's fixed fragments, joined at random,
// read as the plain reading reads them, never as names not written.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "reference_cgi_row.h"
#include "report/joined_rows.h"
#include "report/line_names.h"
#include "report/problem_lines.h"

namespace {

// A problem as it was read: its status, host and service.
struct Problem {
  unsigned status;
  std::string host, service;
  bool operator==(const Problem&) const = default;
};

void PrintTo(const Problem& p, std::ostream* out) { *out << "{" << p.status << ", " << p.host << ", " << p.service << "}"; }

std::string row(const char* token, const std::string& host, const std::string& service = "") {
  return written_cgi_row(token, host, service);
}

// The host's value no longer its title's: no reading fits.
std::string broken(const char* token, const std::string& host) {
  std::string text = row(token, host);
  text.replace(text.find("value='" + host), 7 + host.size(), "value='" + host + "-x");
  return text;
}

const std::string MEETING = "</td></tr><tr><td><anchor title='";
const std::string BR = std::string(JOINED_BREAK);

struct JoinedCase {
  const char* name;
  std::string line;                 // without its line end
  std::vector<Problem> read;        // in page order
  std::vector<std::string> unread;  // the rows told unread, in page order
};

void PrintTo(const JoinedCase& c, std::ostream* out) { *out << c.name; }

const JoinedCase joined_cases[] = {
    {"two_rows", row("DWN", "db1") + row("CRI", "web1", "Load"),
     {{TOKEN_DWN, "db1", ""}, {TOKEN_CRI, "web1", "Load"}}, {}},
    {"two_rows_with_a_break", row("DWN", "db1") + BR + row("CRI", "web1", "Load"),
     {{TOKEN_DWN, "db1", ""}, {TOKEN_CRI, "web1", "Load"}}, {}},
    {"three_rows", row("UNR", "gw") + BR + row("WRN", "web1", "Disk") + row("UNK", "mail", "SMTP"),
     {{TOKEN_UNR, "gw", ""}, {TOKEN_WRN, "web1", "Disk"}, {TOKEN_UNK, "mail", "SMTP"}}, {}},
    {"three_rows_each_with_a_break", row("CRI", "a", "x") + BR + row("CRI", "b", "y") + BR + row("DWN", "c"),
     {{TOKEN_CRI, "a", "x"}, {TOKEN_CRI, "b", "y"}, {TOKEN_DWN, "c", ""}}, {}},
    // Names holding the row's own markup and a status word.
    {"names_holding_row_tags_and_a_status_word",
     row("CRI", "a</td></tr><tr><td>CRI", "b</td></tr><br/><tr><td>DWN x") + row("DWN", "c<tr><td>UNR'/>"),
     {{TOKEN_CRI, "a</td></tr><tr><td>CRI", "b</td></tr><br/><tr><td>DWN x"}, {TOKEN_DWN, "c<tr><td>UNR'/>", ""}}, {}},
    {"names_holding_a_whole_postfield_element",
     row("WRN", "<postfield name='host' value='evil'/>", "s'/>") + BR + row("UNR", "x>CRI<go y"),
     {{TOKEN_WRN, "<postfield name='host' value='evil'/>", "s'/>"}, {TOKEN_UNR, "x>CRI<go y", ""}}, {}},
    // A name holding the very place where two rows meet: its row is cut
    // there too, and read joined back.
    {"service_holding_where_rows_meet", row("DWN", "db1") + row("CRI", "web1", "x" + MEETING + "y"),
     {{TOKEN_DWN, "db1", ""}, {TOKEN_CRI, "web1", "x" + MEETING + "y"}}, {}},
    {"host_holding_where_rows_meet_across_a_break",
     row("DWN", "h</td></tr><br/><tr><td><anchor title='g") + BR + row("WRN", "web1", "Disk"),
     {{TOKEN_DWN, "h</td></tr><br/><tr><td><anchor title='g", ""}, {TOKEN_WRN, "web1", "Disk"}}, {}},
    {"service_row_host_holding_where_rows_meet", row("UNK", "p" + MEETING, "q") + BR + row("CRI", "r", "s"),
     {{TOKEN_UNK, "p" + MEETING, "q"}, {TOKEN_CRI, "r", "s"}}, {}},
    // A broken row is unread; the rows beside it are read.
    {"broken_row_first", broken("DWN", "db1") + row("CRI", "web1", "Load"), {{TOKEN_CRI, "web1", "Load"}},
     {broken("DWN", "db1")}},
    {"broken_row_second_after_a_break", row("CRI", "web1", "Load") + BR + broken("UNR", "gw"),
     {{TOKEN_CRI, "web1", "Load"}}, {broken("UNR", "gw")}},
    {"broken_row_between_two", row("WRN", "a", "b") + broken("DWN", "db1") + BR + row("UNK", "c", "d"),
     {{TOKEN_WRN, "a", "b"}, {TOKEN_UNK, "c", "d"}}, {broken("DWN", "db1")}},
    {"two_broken_rows", broken("DWN", "db1") + broken("UNR", "gw"), {}, {broken("DWN", "db1"), broken("UNR", "gw")}},
};

class JoinedRows : public testing::TestWithParam<JoinedCase> {};

TEST_P(JoinedRows, EachRowReadWhole) {
  const JoinedCase& c = GetParam();
  for (const char* line_end : {"\n", "\r\n"}) {
    const std::string page = "<table>\n" + c.line + line_end + "</table>\n";
    const PageLines lines = read_page_lines(page);
    std::vector<Problem> read;
    for (const ProblemLine& line : lines.lines) {
      EXPECT_EQ(line.form, LineForm::CGI_ROW);
      const LineNames names = read_line_names(line, false);
      EXPECT_TRUE(names.whole);
      read.push_back({line.tokens, std::string(names.host), std::string(names.service)});
    }
    EXPECT_EQ(read, c.read) << line_end;
    std::vector<std::string> unread;
    for (const UnreadRow& row : lines.unread) {
      EXPECT_EQ(page.substr(row.at, row.text.size()), row.text);
      unread.emplace_back(row.text);
    }
    EXPECT_EQ(unread, c.unread) << line_end;
    EXPECT_FALSE(lines.unread_status_cell);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, JoinedRows, testing::ValuesIn(joined_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(JoinedRows, ARowWithoutATokenWhereTheCgiWritesOneIsReadByItsCells) {
  // The name first, the token in the last cell: a row for its cells, beside
  // a row of the CGI's form.
  const std::string name_first =
      "<tr><td><anchor title='db1'>db1<go href='statuswml.cgi' method='post'><postfield name='host' "
      "value='db1'/></go></anchor></td><td>DWN</td></tr>";
  const std::string page = name_first + BR + row("CRI", "web1", "Load") + "\n";
  const PageLines lines = read_page_lines(page);
  ASSERT_EQ(lines.lines.size(), 2u);
  EXPECT_EQ(lines.lines[0].form, LineForm::ROW);
  EXPECT_EQ(lines.lines[0].tokens, TOKEN_DWN);
  EXPECT_EQ(lines.lines[0].text, name_first);
  EXPECT_EQ(lines.lines[1].form, LineForm::CGI_ROW);
  EXPECT_EQ(lines.lines[1].name_cell, "web1");
  EXPECT_TRUE(lines.unread.empty());

  // Read on its own: a comment or a tag it leaves open ends with it, and the
  // rows after it are read.
  for (const std::string opened : {"<!-- db1", "<td db1"}) {
    std::string open_name = name_first;
    open_name.replace(open_name.find("value='db1'"), 11, "value='" + opened + "'");
    const std::string text = open_name + row("CRI", "web1", "Load") + BR + row("DWN", "db2") + "\n";
    const PageLines read = read_page_lines(text);
    ASSERT_GE(read.lines.size(), 2u) << opened;
    EXPECT_EQ(read.lines[read.lines.size() - 2].name_cell, "web1") << opened;
    EXPECT_EQ(read.lines.back().name_cell, "db2") << opened;
  }
}

TEST(JoinedRows, ALineOfOneRowIsNoJoinedLine) {
  EXPECT_TRUE(read_joined_rows(row("CRI", "web1", "Load")).empty());
  EXPECT_TRUE(read_joined_rows(row("CRI", "web1", "x</td></tr><tr><td>y")).empty());
  // A row on a line of its own whose name holds where two rows meet is
  // read whole, as it was.
  const std::string page = row("CRI", "web1", "x" + MEETING + "y") + "\n";
  const PageLines lines = read_page_lines(page);
  ASSERT_EQ(lines.lines.size(), 1u);
  EXPECT_EQ(read_line_names(lines.lines[0], false).service, "x" + MEETING + "y");
}

// Rows whose names are built from the row's own fixed text, two to five on
// a line, joined directly or across a break: read as the plain reading
// reads them, and on the page every problem read is one the line holds, in
// order, with its names as written; a row not read leaves an unread row.
TEST(JoinedRows, FragmentNamesReadAsThePlainReadingAndNeverAsOtherNames) {
  const std::vector<std::string> fragments = {
      "'", "'>", "/", "<go ", "'/>", "</td>", "<td>", "<tr>", "</tr>", "DWN", "CRI", "UNR", "a", "b", "<br/>",
      std::string(CGI_ROW_CORE), "<postfield name='service' value='", "'/></go></anchor></td><td>", "</td></tr>",
      "<tr><td><anchor title='", MEETING};
  std::mt19937 random(37);
  const auto name = [&] {
    std::string text;
    const int pieces = 1 + static_cast<int>(random() % 3);
    for (int k = 0; k < pieces; ++k) text += fragments[random() % fragments.size()];
    return text;
  };
  const char* const tokens[] = {"DWN", "UNR", "WRN", "CRI", "UNK"};
  const unsigned bits[] = {TOKEN_DWN, TOKEN_UNR, TOKEN_WRN, TOKEN_CRI, TOKEN_UNK};
  int written = 0, exact = 0;
  for (int k = 0; k < 300; ++k) {
    std::string line;
    std::vector<Problem> rows;
    const int count = 2 + static_cast<int>(random() % 4);
    for (int r = 0; r < count; ++r) {
      const unsigned t = random() % 5;
      const bool host_row = t < 2;
      const Problem p{bits[t], name(), host_row ? "" : name()};
      if (r > 0 && random() % 2) line += BR;
      line += row(tokens[t], p.host, p.service);
      rows.push_back(p);
    }
    written += count;
    const std::vector<JoinedRow> fast = read_joined_rows(line);
    const std::vector<JoinedRow> plain = reference_read_joined_rows(line);
    ASSERT_EQ(fast.size(), plain.size()) << line;
    for (std::size_t i = 0; i < fast.size(); ++i) {
      ASSERT_EQ(fast[i].start, plain[i].start) << line;
      ASSERT_EQ(fast[i].end, plain[i].end) << line;
      ASSERT_EQ(fast[i].kind, plain[i].kind) << line;
      ASSERT_EQ(fast[i].tokens, plain[i].tokens) << line;
      ASSERT_EQ(fast[i].reading.host.data(), plain[i].reading.host.data()) << line;
      ASSERT_EQ(fast[i].reading.service.size(), plain[i].reading.service.size()) << line;
    }
    const std::string text = line + "\n";
    const PageLines page = read_page_lines(text);
    std::size_t next = 0, read = 0;
    for (const ProblemLine& problem : page.lines) {
      if (problem.form != LineForm::CGI_ROW) continue;
      const LineNames names = read_line_names(problem, false);
      const Problem got{problem.tokens, std::string(names.host), std::string(names.service)};
      while (next < rows.size() && !(rows[next] == got)) ++next;
      ASSERT_LT(next, rows.size()) << "read as names not written: " << got.status << " " << got.host << " | "
                                   << got.service << " in " << line;
      ++next;
      ++read;
    }
    exact += static_cast<int>(read);
    if (read < rows.size()) {
      ASSERT_FALSE(page.unread.empty()) << "a row lost: " << line;
    }
  }
  std::printf("joined fragment-name rows read exactly: %d of %d\n", exact, written);
  RecordProperty("read_exactly", exact);
}

}  // namespace
