// The note that says how many labels of the report did not fit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame_view.h"
#include "report/hidden_note.h"
#include "report/screen_writer.h"

namespace {

// count DOWN hosts, each named by its number.
Report down_hosts(int count) {
  static std::vector<std::string> names;  // the report's views point into them
  names.clear();
  for (int i = 0; i < count; ++i) names.push_back(std::string("h").append(std::to_string(i)));
  Report report;
  report.alarm = true;
  for (const std::string& name : names) report.items.push_back({ReportItemKind::DOWN_HOST, name, {}});
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
  Frame today(24, 80);
  lay_out_report(down_hosts(100), today);
  // Columns 0 and 50 hold twelve each; the column at 100 is off the screen.
  ASSERT_EQ(today.hidden_labels, 76);
  Frame frame = today;
  HiddenNoteText text;
  put_hidden_note(frame, text);
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
    HiddenNoteText text;
    put_hidden_note(frame, text);
    EXPECT_EQ(describe(frame), today) << count << " hosts";
  }
}

// Which labels count: DOWN, UNREACHABLE and status labels that would start
// at or beyond the right edge; a green host label does not, its services do.
TEST(HiddenNote, CountsLabelsStartingAtOrBeyondTheRightEdge) {
  constexpr ReportItem U0{ReportItemKind::UNREACHABLE_HOST, "u0", {}}, U1{ReportItemKind::UNREACHABLE_HOST, "u1", {}};
  constexpr ReportItem D0{ReportItemKind::DOWN_HOST, "d0", {}}, D1{ReportItemKind::DOWN_HOST, "d1", {}};
  constexpr ReportItem HOST{ReportItemKind::HOST, "b", {}}, SERVICE{ReportItemKind::SERVICE, "B", ServiceStatus::CRITICAL};
  struct Case {
    int rows, columns;
    std::vector<ReportItem> items;
    int hidden;
  };
  const Case cases[] = {
      {1, 50, {U0, U1}, 1},  // u1 at column 50, the edge itself
      {1, 51, {U0, U1}, 0},
      {1, 50, {D0, D1}, 1},
      {2, 50, {U0, U1, HOST}, 0},           // the green host b at column 50
      {2, 50, {U0, U1, HOST, SERVICE}, 1},  // ... and its status label at 52
      {2, 52, {U0, U1, HOST, SERVICE}, 1},
      {2, 53, {U0, U1, HOST, SERVICE}, 0},
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
  const std::string LAST_ROW_24x60 = " u23 " + std::string(44, ' ') + " +5 hidden ";
  const std::string LAST_ROW_2x50 = " u1 " + std::string(33, ' ') + " +998 hidden ";
  struct Case {
    int rows, columns, hosts;
    std::string last_row;
  };
  const Case cases[] = {
      // 24 UNREACHABLE hosts fill column 0, 24 more column 50, 5 are off the
      // screen: the note covers the label at column 50.
      {24, 60, 53, LAST_ROW_24x60},
      {3, 10, 7, "+4 hidden "},
      {3, 9, 7, "4 hidden "},
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
    for (const std::string& name : names) report.items.push_back({ReportItemKind::UNREACHABLE_HOST, name, {}});
    Frame frame(c.rows, c.columns);
    lay_out_report(report, frame);
    HiddenNoteText text;
    put_hidden_note(frame, text);
    const auto cells = paint_cells(frame);
    EXPECT_EQ(row_text(cells, c.rows - 1), c.last_row) << c.rows << "x" << c.columns;
    const Label& note = frame.labels.back();
    EXPECT_EQ(note.row, c.rows - 1);
    EXPECT_EQ(note.column + static_cast<int>(note.text.size()), c.columns);
    EXPECT_GE(note.column, 0);
  }
}

TEST(HiddenNote, LargestCountFits) {
  Frame frame(24, 80);
  frame.hidden_labels = 2147483647;
  HiddenNoteText text;
  put_hidden_note(frame, text);
  ASSERT_EQ(frame.labels.size(), 1u);
  EXPECT_EQ(describe(frame.labels.back()), "23,60 7b [ +2147483647 hidden ]");
}

}  // namespace
