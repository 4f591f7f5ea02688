#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/exclude_list.h"
#include "frame_view.h"
#include "page_lines.h"
#include "report/problem_lines.h"
#include "report/report_pass.h"
#include "layout/report_layout.h"

namespace {

Frame render(const std::string& page, const std::vector<std::string>& excluded = {}, bool newcgi = true,
             int rows = 24, int columns = 80) {
  static std::string body;  // the frame's labels point into it
  body = page;
  Frame frame(rows, columns);
  const std::vector<ProblemLine> lines = split_problem_lines(body);
  lay_out_report(render_problems(lines, read_names(lines, newcgi), make_exclude_list(excluded)), frame);
  return frame;
}

// The worked frame: a DOWN host, a host with two services, an UNREACHABLE
// host and a host with one service.
TEST(ReportPass, WorkedFrameCellByCell) {
  const Frame frame = render(host_line("db1", "DWN") + service_line("web1", "Load", "CRI") +
                             service_line("web1", "Disk", "WRN") + host_line("gw", "UNR") +
                             service_line("mail", "SMTP", "UNK"));
  EXPECT_EQ(frame.background, ALARM_ROLE);
  const auto cells = paint_cells(frame);
  struct Run {
    int row, column;
    std::string text;
    short pair;
    bool bold;
  };
  const std::vector<Run> expected = {
      {0, 0, " db1 ", 6, false},       {2, 0, " web1 ", 1, false},   {3, 2, " CRITICAL ", 3, false},
      {3, 12, " Load", 0, true},       {4, 2, " WARNING ", 2, false}, {4, 11, " Disk", 0, true},
      {6, 0, " gw ", 4, false},        {7, 0, " mail ", 1, false},   {8, 2, " UNKNOWN ", 4, false},
      {8, 11, " SMTP", 0, true},
  };
  std::vector<std::vector<Cell>> want(24, std::vector<Cell>(80));
  for (const Run& run : expected)
    for (std::size_t i = 0; i < run.text.size(); ++i)
      want[static_cast<std::size_t>(run.row)][static_cast<std::size_t>(run.column) + i] = {run.text[i], run.pair,
                                                                                             run.bold};
  for (std::size_t row = 0; row < 24; ++row)
    for (std::size_t column = 0; column < 80; ++column) {
      const Cell& got = cells[row][column];
      const Cell& w = want[row][column];
      EXPECT_TRUE(got.character == w.character && got.pair == w.pair && got.bold == w.bold)
          << "cell " << row << "," << column << ": got '" << got.character << "' pair " << got.pair << " bold "
          << got.bold << ", want '" << w.character << "' pair " << w.pair << " bold " << w.bold;
    }
}

struct PassCase {
  const char* name;
  std::string page;
  std::vector<std::string> excluded;
  std::vector<std::string> labels;  // as describe() gives them
  short background;
};

// Test listings name the case, not its bytes.
void PrintTo(const PassCase& c, std::ostream* out) { *out << c.name; }

const std::string WEB1_WRN_A = service_line("web1", "A", "WRN");

const PassCase pass_cases[] = {
    {"no_problem_lines", "<wml>\n<card>\n</card>\n", {}, {}, 5},
    {"excluded_down_host_neither_reddens_nor_appears", host_line("db1", "DWN"), {"db1"}, {}, 5},
    {"down_hosts_services_and_names_inside_it_are_not_listed",
     host_line("db1", "DWN") + service_line("db1", "Load", "CRI") + service_line("db", "Disk", "WRN") +
         service_line("DB", "Swap", "WRN"),
     {},
     {"0,0 6 [ db1 ]"},
     7},
    {"excluded_service_splits_the_group",
     service_line("web1", "S1", "WRN") + service_line("web1", "S2", "CRI") + service_line("web1", "S3", "UNK"),
     {"S2"},
     {"0,0 1 [ web1 ]", "1,2 2 [ WARNING ]", "1,11 0b [ S1]", "3,0 1 [ web1 ]", "4,2 4 [ UNKNOWN ]",
      "4,11 0b [ S3]"},
     5},
    // A host's group is drawn at its first line only, also when another
    // group was drawn in between: each problem once.
    {"group_not_drawn_again_after_another_group",
     WEB1_WRN_A + service_line("mail", "B", "CRI") + service_line("web1", "C", "CRI"),
     {},
     {"0,0 1 [ web1 ]", "1,2 2 [ WARNING ]", "1,11 0b [ A]", "2,2 3 [ CRITICAL ]", "2,12 0b [ C]",
      "4,0 1 [ mail ]", "5,2 3 [ CRITICAL ]", "5,12 0b [ B]"},
     5},
    {"unreachable_label_in_between_does_not_count",
     WEB1_WRN_A + host_line("gw", "UNR") + service_line("web1", "C", "CRI"),
     {},
     {"0,0 1 [ web1 ]", "1,2 2 [ WARNING ]", "1,11 0b [ A]", "2,2 3 [ CRITICAL ]", "2,12 0b [ C]",
      "4,0 4 [ gw ]"},
     7},
    {"host_with_every_service_excluded_counts_for_nothing",
     WEB1_WRN_A + service_line("mail", "Queue", "CRI") + service_line("web1", "C", "CRI"),
     {"Queue"},
     {"0,0 1 [ web1 ]", "1,2 2 [ WARNING ]", "1,11 0b [ A]", "2,2 3 [ CRITICAL ]", "2,12 0b [ C]"},
     5},
    {"down_and_unreachable_on_one_line_draw_both", host_line("db1", "DWN UNR"), {},
     {"0,0 6 [ db1 ]", "2,0 4 [ db1 ]"}, 7},
    // A DOWN host's label once, however often its line comes.
    {"down_label_once", host_line("db1", "DWN") + host_line("db1", "DWN") + host_line("gw", "UNR") +
         host_line("gw", "UNR"), {},
     {"0,0 6 [ db1 ]", "2,0 4 [ gw ]"}, 7},
    {"warning_wins_over_critical", service_line("web1", "A", "CRI WRN"), {},
     {"0,0 1 [ web1 ]", "1,2 2 [ WARNING ]", "1,11 0b [ A]"}, 5},
    {"hosts_differing_in_case_each_draw_both_lines",
     service_line("web1", "A", "WRN") + service_line("WEB1", "B", "CRI"),
     {},
     {"0,0 1 [ web1 ]", "1,2 2 [ WARNING ]", "1,11 0b [ A]", "2,2 3 [ CRITICAL ]", "2,12 0b [ B]",
      "4,0 1 [ WEB1 ]", "5,2 2 [ WARNING ]", "5,11 0b [ A]", "6,2 3 [ CRITICAL ]", "6,12 0b [ B]"},
     5},
    {"host_excluded_by_exact_name_only", service_line("web1", "A", "WRN") + service_line("WEB1", "B", "CRI"),
     {"web1"},
     {"0,0 1 [ WEB1 ]", "1,2 2 [ WARNING ]", "1,11 0b [ A]", "2,2 3 [ CRITICAL ]", "2,12 0b [ B]"},
     5},
    {"host_named_like_a_service_lists_that_line_too",
     service_line("web1", "Load", "CRI") + service_line("Load", "Ping", "WRN"),
     {},
     {"0,0 1 [ web1 ]", "1,2 3 [ CRITICAL ]", "1,12 0b [ Load]", "3,0 1 [ Load ]", "4,2 3 [ CRITICAL ]",
      "4,12 0b [ Load]", "5,2 2 [ WARNING ]", "5,11 0b [ Ping]"},
     5},
    {"unreachable_word_on_a_service_line_makes_it_a_host_line",
     service_line("web1", "Link unreachable", "CRI"),
     {},
     {"0,0 4 [ web1'/><postfield name='service' value='Link unreachable ]"},
     7},
    // Rows are read by their cells, and their names compared whole and exactly.
    {"row_down_host_silences_itself_only",
     cgi_row("DWN", "web10") + cgi_row("CRI", "web1", "Load") + cgi_row("CRI", "web10", "Ping"),
     {},
     {"0,0 6 [ web10 ]", "2,0 1 [ web1 ]", "3,2 3 [ CRITICAL ]", "3,12 0b [ Load]"},
     7},
    {"row_unreachable_host_silences_itself_only",
     cgi_row("UNR", "db1") + cgi_row("WRN", "db", "Disk") + cgi_row("UNK", "db1", "Swap"),
     {},
     {"0,0 4 [ db1 ]", "1,0 1 [ db ]", "2,2 2 [ WARNING ]", "2,11 0b [ Disk]"},
     7},
    {"row_token_in_a_service_name_is_no_status",
     cgi_row("WRN", "sunrise", "DNS unresolved") + cgi_row("CRI", "unknown-box", "description"),
     {},
     {"0,0 1 [ sunrise ]", "1,2 2 [ WARNING ]", "1,11 0b [ DNS unresolved]", "3,0 1 [ unknown-box ]",
      "4,2 3 [ CRITICAL ]", "4,12 0b [ description]"},
     5},
    {"row_hosts_differing_in_case_are_two_groups",
     cgi_row("WRN", "web1", "A") + cgi_row("CRI", "WEB1", "B"),
     {},
     {"0,0 1 [ web1 ]", "1,2 2 [ WARNING ]", "1,11 0b [ A]", "3,0 1 [ WEB1 ]", "4,2 3 [ CRITICAL ]",
      "4,12 0b [ B]"},
     5},
    {"row_host_named_like_a_service_gets_none_of_its_rows",
     cgi_row("CRI", "web1", "Load") + cgi_row("WRN", "Load", "Ping"),
     {},
     {"0,0 1 [ web1 ]", "1,2 3 [ CRITICAL ]", "1,12 0b [ Load]", "3,0 1 [ Load ]", "4,2 2 [ WARNING ]",
      "4,11 0b [ Ping]"},
     5},
    {"row_comments_in_a_name_change_nothing", cgi_row("UNK", "web1", "see #comments"), {},
     {"0,0 1 [ web1 ]", "1,2 4 [ UNKNOWN ]", "1,11 0b [ see #comments]"}, 5},
    {"row_group_and_labels_drawn_once",
     cgi_row("WRN", "web1", "A") + cgi_row("CRI", "mail", "B") + cgi_row("CRI", "web1", "C") +
         cgi_row("DWN", "db1") + cgi_row("DWN", "db1"),
     {},
     {"0,0 1 [ web1 ]", "1,2 2 [ WARNING ]", "1,11 0b [ A]", "2,2 3 [ CRITICAL ]", "2,12 0b [ C]",
      "4,0 1 [ mail ]", "5,2 3 [ CRITICAL ]", "5,12 0b [ B]", "7,0 6 [ db1 ]"},
     7},
    {"row_exclude_rules_as_ever",
     cgi_row("DWN", "db1") + cgi_row("WRN", "web1", "S1") + cgi_row("CRI", "web1", "S2") +
         cgi_row("UNK", "web1", "S3"),
     {"db1", "s2"},
     {"0,0 1 [ web1 ]", "1,2 2 [ WARNING ]", "1,11 0b [ S1]", "3,0 1 [ web1 ]", "4,2 4 [ UNKNOWN ]",
      "4,11 0b [ S3]"},
     5},
    // The plain HTML rendition's rows: the names in the last cell.
    {"rendition_rows",
     rendition_row("DWN", "db1") + rendition_row("UNR", "gw") + rendition_row("CRI", "web1", "Load") +
         rendition_row("WRN", "web1", "Disk /var"),
     {},
     {"0,0 6 [ db1 ]", "2,0 4 [ gw ]", "3,0 1 [ web1 ]", "4,2 3 [ CRITICAL ]", "4,12 0b [ Load]",
      "5,2 2 [ WARNING ]", "5,11 0b [ Disk /var]"},
     7},
};

class ReportPassTable : public testing::TestWithParam<PassCase> {};

TEST_P(ReportPassTable, DrawsTheseLabels) {
  const PassCase& c = GetParam();
  const Frame frame = render(c.page, c.excluded);
  EXPECT_EQ(describe(frame), c.labels);
  EXPECT_EQ(colour_pair(frame.background), c.background);
}

INSTANTIATE_TEST_SUITE_P(Table, ReportPassTable, testing::ValuesIn(pass_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// newcgi makes no difference to rows: both settings read the same names.
TEST(ReportPass, RowsReadAlikeWithAndWithoutNewcgi) {
  const std::string page = cgi_row("CRI", "web1", "Load") + cgi_row("DWN", "db1");
  const std::vector<std::string> expected = {"0,0 1 [ web1 ]", "1,2 3 [ CRITICAL ]", "1,12 0b [ Load]",
                                             "3,0 6 [ db1 ]"};
  EXPECT_EQ(describe(render(page, {}, true)), expected);
  EXPECT_EQ(describe(render(page, {}, false)), expected);
}

// "No match!" only for a line that yields no name at all; a service whose
// name cannot be read is still shown, and counted.
TEST(ReportPass, CountsLinesWithoutNames) {
  const std::string page = service_line("web1", "Load", "CRI") + "<p>21 CRITICAL</p>\n" + host_line("db1", "DWN");
  const std::vector<ProblemLine> lines = split_problem_lines(page);
  const Report report = render_problems(lines, read_names(lines, false), make_exclude_list({}));
  EXPECT_EQ(report.unmatched, 1);
  EXPECT_EQ(report.unread_services, 1);  // web1's: without newcgi its postfield is not read
}

TEST(ReportPass, TableCellFormShowsTheClassValue) {
  const Frame frame = render(cell_line("web1", "statusBGWARNING", "WRN"), {}, false);
  EXPECT_EQ(describe(frame),
            (std::vector<std::string>{"0,0 1 [ web1 ]", "1,2 2 [ WARNING ]", "1,11 0b [ statusBGWARNING]"}));
}

// What the exclude list hid, counted per problem line: a DOWN or
// UNREACHABLE host, a service line by its host or by its name.
TEST(ReportPass, CountsWhatTheExcludeListHides) {
  const std::string page = host_line("db1", "DWN") + host_line("gw", "UNR") + service_line("web1", "Load", "CRI") +
                           service_line("web1", "Backup", "WRN") + service_line("lab", "Disk", "WRN") +
                           service_line("lab", "Swap", "UNK") + service_line("mail", "SMTP", "UNK");
  struct Case {
    std::vector<std::string> excluded;
    int hosts, services;
  };
  const Case cases[] = {
      {{}, 0, 0},
      {{"db1", "lab", "backup"}, 1, 3},
      {{"gw", "db1", "mail"}, 2, 1},
      {{""}, 0, 5},  // an empty entry hides every service
  };
  for (const Case& c : cases) {
    const std::vector<ProblemLine> lines = split_problem_lines(page);
    const Report report = render_problems(lines, read_names(lines, true), make_exclude_list(c.excluded));
    EXPECT_EQ(report.excluded_hosts, c.hosts) << testing::PrintToString(c.excluded);
    EXPECT_EQ(report.excluded_services, c.services) << testing::PrintToString(c.excluded);
  }
}

}  // namespace
