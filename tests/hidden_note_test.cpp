// The note that says how many labels of the report did not fit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame_view.h"
#include "layout/hidden_note.h"
#include "layout/report_layout.h"

namespace {

// count DOWN hosts, each named by its number.
Report down_hosts(int count) {
  static std::vector<std::string> names;  // the report's views point into them
  names.clear();
  for (int i = 0; i < count; ++i) names.push_back(std::string("h").append(std::to_string(i)));
  Report report;
  report.alarm = true;
  for (const std::string& name : names) report.items.push_back({name, ReportItemKind::DOWN_HOST, {}});
  return report;
}

std::string row_text(const std::vector<std::vector<Cell>>& cells, int row) {
  std::string text;
  for (const Cell& cell : cells[static_cast<std::size_t>(row)]) text += cell.character;
  return text;
}

bool same_cells(const std::vector<Cell>& a, const std::vector<Cell>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i].character != b[i].character || a[i].pair != b[i].pair || a[i].bold != b[i].bold) return false;
  return true;
}

TEST(HiddenNote, HundredDownHostsOnTwentyFourByEighty) {
  const Report report = down_hosts(100);
  Frame today(24, 80);
  lay_out_report(report, today);
  // Columns 0 and 50 hold twelve each; the column at 100 is off the screen.
  ASSERT_EQ(today.hidden_labels, 76);
  Frame frame(24, 80);
  lay_out_report(report, frame);
  put_hidden_note(frame);
  ASSERT_EQ(frame.labels.size(), today.labels.size() + 1);
  EXPECT_EQ(describe(frame.labels.back()), "23,68 7b [ +76 hidden ]");
  const auto before = paint_cells(today);
  const auto after = paint_cells(frame);
  for (int row = 0; row < 23; ++row)
    EXPECT_TRUE(same_cells(after[static_cast<std::size_t>(row)], before[static_cast<std::size_t>(row)]))
        << "row " << row;
  EXPECT_EQ(row_text(after, 23), std::string(68, ' ') + " +76 hidden ");
  for (int column = 68; column < 80; ++column) {
    EXPECT_EQ(after[23][static_cast<std::size_t>(column)].pair, colour_pair(ALARM_ROLE));
    EXPECT_TRUE(after[23][static_cast<std::size_t>(column)].bold);
  }
}

TEST(HiddenNote, NothingWhenEverythingFits) {
  for (const int count : {0, 1, 24}) {
    Frame frame(24, 80);
    lay_out_report(down_hosts(count), frame);
    const std::vector<std::string> today = describe(frame);
    put_hidden_note(frame);
    EXPECT_EQ(describe(frame), today) << count << " hosts";
  }
}

// Which labels count: DOWN, UNREACHABLE and status labels that would start
// at or beyond the right edge, or of which only the leading space fits; a
// green host label does not, its services do.
TEST(HiddenNote, CountsLabelsOfWhichNoTextShows) {
  constexpr ReportItem U0{"u0", ReportItemKind::UNREACHABLE_HOST, {}}, U1{"u1", ReportItemKind::UNREACHABLE_HOST, {}};
  constexpr ReportItem D0{"d0", ReportItemKind::DOWN_HOST, {}}, D1{"d1", ReportItemKind::DOWN_HOST, {}};
  constexpr ReportItem HOST{"b", ReportItemKind::HOST, {}}, SERVICE{"B", ReportItemKind::SERVICE, ServiceStatus::CRITICAL};
  struct Case {
    int rows, columns;
    std::vector<ReportItem> items;
    int hidden;
  };
  const Case cases[] = {
      {1, 50, {U0, U1}, 1},  // u1 at column 50, the edge itself
      {1, 51, {U0, U1}, 1},  // only u1's leading space fits, in column 50
      {1, 52, {U0, U1}, 0},  // "u" shows
      {1, 51, {D0, D1}, 1},
      {1, 50, {D0, D1}, 1},
      {2, 50, {U0, U1, HOST}, 0},           // the green host b at column 50
      {2, 50, {U0, U1, HOST, SERVICE}, 1},  // ... and its status label at 52
      {2, 52, {U0, U1, HOST, SERVICE}, 1},
      {2, 53, {U0, U1, HOST, SERVICE}, 1},  // the status label's space alone, at 52
      {2, 54, {U0, U1, HOST, SERVICE}, 0},
  };
  for (const Case& c : cases) {
    Report report;
    report.items = c.items;
    Frame frame(c.rows, c.columns);
    lay_out_report(report, frame);
    EXPECT_EQ(frame.hidden_labels, c.hidden) << c.rows << "x" << c.columns << ", " << c.items.size() << " items";
  }
}

// The note over whatever the last row holds, and on screens narrower than
// the note its right-hand part from column 0.
TEST(HiddenNote, LastRowEndsWithTheNote) {
  const std::string LAST_ROW_24x60 = " u23 " + std::string(44, ' ') + " +6 hidden ";
  const std::string LAST_ROW_2x50 = " u1 " + std::string(33, ' ') + " +998 hidden ";
  struct Case {
    int rows, columns, hosts;
    std::string last_row;
  };
  const Case cases[] = {
      // 24 UNREACHABLE hosts fill column 0, 24 more column 50, 5 are off the
      // screen: the note covers the label at column 50, which then counts.
      {24, 60, 53, LAST_ROW_24x60},
      // Four off the screen, and the note covers u2 at the start of the row.
      {3, 10, 7, "+5 hidden "},
      {3, 9, 7, "5 hidden "},
      {3, 4, 7, "den "},
      {1, 1, 2, " "},
      {2, 50, 1000, LAST_ROW_2x50},
  };
  for (const Case& c : cases) {
    static std::vector<std::string> names;
    names.clear();
    for (int i = 0; i < c.hosts; ++i) names.push_back(std::string("u").append(std::to_string(i)));
    Report report;
    report.alarm = true;
    for (const std::string& name : names) report.items.push_back({name, ReportItemKind::UNREACHABLE_HOST, {}});
    Frame frame(c.rows, c.columns);
    lay_out_report(report, frame);
    put_hidden_note(frame);
    const auto cells = paint_cells(frame);
    EXPECT_EQ(row_text(cells, c.rows - 1), c.last_row) << c.rows << "x" << c.columns;
    const Label& note = frame.labels.back();
    EXPECT_EQ(note.row, c.rows - 1);
    EXPECT_EQ(note.column + static_cast<int>(note.text.size()), c.columns);
    EXPECT_GE(note.column, 0);
  }
}

// Thirty UNREACHABLE hosts at 51x10: ten in column 0, ten in column 50 of
// which only the leading space fits, ten beyond the edge.
TEST(HiddenNote, StubsInTheLastColumnCount) {
  static std::vector<std::string> names;
  names.clear();
  for (int i = 0; i < 30; ++i) names.push_back(std::string("u").append(std::to_string(i)));
  Report report;
  for (const std::string& name : names) report.items.push_back({name, ReportItemKind::UNREACHABLE_HOST, {}});
  Frame frame(10, 51);
  lay_out_report(report, frame);
  put_hidden_note(frame);
  EXPECT_EQ(frame.hidden_labels, 20);
  EXPECT_EQ(row_text(paint_cells(frame), 9), " u9 " + std::string(35, ' ') + " +20 hidden ");
}

// The note widens as it counts what it covers, until its count holds.
TEST(HiddenNote, CountsWhatItCoversUntilTheCountHolds) {
  // One row of UNREACHABLE labels whose texts start at columns 2, 7, ..., 57.
  static const std::string names[] = {"a0", "a1", "a2", "a3", "a4", "a5", "a6", "a7", "a8", "a9", "b0", "b1"};
  struct Case {
    int hidden_before;
    int hidden_after;
    std::string note;
  };
  const Case cases[] = {
      // " +8 hidden " (11 cells, from 49) covers the texts at 52 and 57; "
      // +10 hidden " (from 48) nothing more.
      {8, 10, "0,48 7b [ +10 hidden ]"},
      // " +98 hidden " (from 48) covers 52 and 57; " +100 hidden " (from 47)
      // also 47.
      {98, 101, "0,47 7b [ +101 hidden ]"},
  };
  for (const Case& c : cases) {
    Frame frame(1, 60);
    for (int i = 0; i < 12; ++i)
      frame.labels.push_back({0, 5 * i + 1, names[i], UNREACHABLE_ROLE, false, LabelForm::PADDED, 5 * i + 6});
    frame.hidden_labels = c.hidden_before;
    put_hidden_note(frame);
    EXPECT_EQ(frame.hidden_labels, c.hidden_after);
    EXPECT_EQ(describe(frame.labels.back()), c.note);
  }
}

TEST(HiddenNote, LargestCountFits) {
  Frame frame(24, 80);
  frame.hidden_labels = 2147483647;
  put_hidden_note(frame);
  ASSERT_EQ(frame.labels.size(), 1u);
  EXPECT_EQ(describe(frame.labels.back()), "23,60 7b [ +2147483647 hidden ]");
}

}  // namespace
