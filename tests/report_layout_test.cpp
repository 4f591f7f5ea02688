#include <gtest/gtest.h>

#include <sstream>

#include <string>
#include <vector>

#include "frame_view.h"
#include "layout/report_layout.h"

namespace {

constexpr ServiceStatus WARNING = ServiceStatus::WARNING;
constexpr ServiceStatus CRITICAL = ServiceStatus::CRITICAL;
constexpr ServiceStatus UNKNOWN = ServiceStatus::UNKNOWN;

class ReportLayout : public testing::Test {
 protected:
  void host(std::string_view name) { put_host(writer_, name); }
  void down(std::string_view name) { put_down_host(writer_, name); }
  void unreachable(std::string_view name) { put_unreachable_host(writer_, name); }
  void status(ServiceStatus status, std::string_view service) { put_status(writer_, status, service); }
  // A new frame, and a writer at its top left.
  void start(int rows, int columns) {
    frame_ = Frame(rows, columns);
    writer_ = ReportWriter{&frame_};
  }
  Frame frame_{24, 80};
  ReportWriter writer_{&frame_};
};

TEST_F(ReportLayout, StatusRunKeepsOneRowAheadSoGroupsAreSeparated) {
  host("web1");
  status(WARNING, "A");
  status(CRITICAL, "B");
  status(UNKNOWN, "C");
  host("mail");
  EXPECT_EQ(describe(frame_), (std::vector<std::string>{
                                  "0,0 1 [ web1 ]",
                                  "1,2 2 [ WARNING ]", "1,11 0b [ A]",
                                  "2,2 3 [ CRITICAL ]", "2,12 0b [ B]",
                                  "3,2 4 [ UNKNOWN ]", "3,11 0b [ C]",
                                  "5,0 1 [ mail ]",
                              }));
}

TEST_F(ReportLayout, DownHostLeavesAnEmptyRowUnreachableDoesNot) {
  down("db1");
  host("web1");
  unreachable("gw1");
  unreachable("gw2");
  EXPECT_EQ(describe(frame_), (std::vector<std::string>{"0,0 6 [ db1 ]", "2,0 1 [ web1 ]", "3,0 4 [ gw1 ]",
                                                         "4,0 4 [ gw2 ]"}));
}

TEST_F(ReportLayout, DownHostNearTheBottomSendsTheNextLabelToTheNextColumn) {
  for (const int last_row : {22, 23}) {
    start(24, 80);
    for (int i = 0; i < last_row; ++i) unreachable("u");
    down("db1");
    host("web1");
    ASSERT_EQ(frame_.labels.size(), static_cast<std::size_t>(last_row + 2));
    EXPECT_EQ(describe(frame_.labels[static_cast<std::size_t>(last_row)]), std::to_string(last_row) + ",0 6 [ db1 ]");
    EXPECT_EQ(describe(frame_.labels.back()), "0,50 1 [ web1 ]");
  }
}

TEST_F(ReportLayout, RunCrossingTheBottomGoesOnAtTheTopOfTheNextColumn) {
  for (int i = 0; i < 22; ++i) unreachable("u");
  host("web1");             // row 22
  status(WARNING, "A");  // row 23
  status(CRITICAL, "B");  // next column: its host at row 0 again, the run from row 1
  status(UNKNOWN, "C");
  host("mail");
  const std::vector<std::string> all = describe(frame_);
  ASSERT_GE(all.size(), 9u);
  const std::vector<std::string> tail(all.end() - 9, all.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"22,0 1 [ web1 ]", "23,2 2 [ WARNING ]", "23,11 0b [ A]",
                                            "0,50 1 [ web1 ]", "1,52 3 [ CRITICAL ]", "1,62 0b [ B]",
                                            "2,52 4 [ UNKNOWN ]", "2,61 0b [ C]", "4,50 1 [ mail ]"}));
}

// Where a run meets the bottom: its host's label heads the rest of it in the
// next column, whether the run broke after its first status label, before
// it, or not at all.
TEST_F(ReportLayout, RunGoesOnUnderItsHostAgain) {
  struct Case {
    int rows;
    int fillers;  // UNREACHABLE labels before the host
    int services;
    std::vector<std::string> tail;
  };
  const Case cases[] = {
      // The host at the last row: all its services in the next column.
      {6, 5, 2, {"5,0 1 [ h ]", "0,50 1 [ h ]", "1,52 2 [ WARNING ]", "1,61 0b [ s]", "2,52 2 [ WARNING ]",
                 "2,61 0b [ s]"}},
      // A run that fits ends one row short of the bottom: unchanged.
      {6, 2, 2, {"2,0 1 [ h ]", "3,2 2 [ WARNING ]", "3,11 0b [ s]", "4,2 2 [ WARNING ]", "4,11 0b [ s]"}},
      // Three columns' worth (a run leaves the last row for its empty row):
      // the host heads each.
      {4, 0, 5, {"0,0 1 [ h ]", "1,2 2 [ WARNING ]", "1,11 0b [ s]", "2,2 2 [ WARNING ]", "2,11 0b [ s]",
                 "0,50 1 [ h ]", "1,52 2 [ WARNING ]", "1,61 0b [ s]", "2,52 2 [ WARNING ]", "2,61 0b [ s]",
                 "0,100 1 [ h ]", "1,102 2 [ WARNING ]", "1,111 0b [ s]"}},
      // One row holds no host and a status label at once: the run goes on
      // alone, as before.
      {1, 0, 2, {"0,0 1 [ h ]", "0,52 2 [ WARNING ]", "0,61 0b [ s]", "0,102 2 [ WARNING ]", "0,111 0b [ s]"}},
  };
  for (const Case& c : cases) {
    start(c.rows, 200);
    for (int i = 0; i < c.fillers; ++i) unreachable("u");
    host("h");
    for (int i = 0; i < c.services; ++i) status(WARNING, "s");
    const std::vector<std::string> all = describe(frame_);
    ASSERT_GE(all.size(), c.tail.size());
    EXPECT_EQ(std::vector<std::string>(all.end() - static_cast<long>(c.tail.size()), all.end()), c.tail)
        << c.rows << " rows, " << c.fillers << " before, " << c.services << " services";
  }
}

// A DOWN or UNREACHABLE host between runs heads nothing: a status label
// never follows one, and the next host label starts its own run.
TEST_F(ReportLayout, OnlyTheRunsOwnHostIsRepeated) {
  start(3, 200);
  host("a");
  status(CRITICAL, "x");
  unreachable("u");  // row 3: the next column
  host("b");
  status(CRITICAL, "y");
  status(CRITICAL, "z");  // crosses the bottom under b, not a
  EXPECT_EQ(describe(frame_), (std::vector<std::string>{"0,0 1 [ a ]", "1,2 3 [ CRITICAL ]", "1,12 0b [ x]",
                                                         "0,50 4 [ u ]", "1,50 1 [ b ]", "2,52 3 [ CRITICAL ]",
                                                         "2,62 0b [ y]", "0,100 1 [ b ]", "1,102 3 [ CRITICAL ]",
                                                         "1,112 0b [ z]"}));
}

TEST_F(ReportLayout, LabelsBeyondTheRightEdgeAreDroppedWithTheirNames) {
  start(2, 60);
  host("a");                 // 0,0
  status(WARNING, "A");  // 1,2
  host("b");                 // column 50, row 0
  status(CRITICAL, "B");  // 1,52: its name would start at column 62
  host("c");                 // column 100: beyond the screen
  status(UNKNOWN, "C");
  EXPECT_EQ(describe(frame_), (std::vector<std::string>{"0,0 1 [ a ]", "1,2 2 [ WARNING ]", "1,11 0b [ A]",
                                                         "0,50 1 [ b ]", "1,52 3 [ CRITICAL ]"}));
  EXPECT_EQ(writer_.column, 100);
  // The UNKNOWN label at column 102 could not be placed; the host label c
  // is not counted, its service is.
  EXPECT_EQ(frame_.hidden_labels, 1);
}

TEST_F(ReportLayout, LabelsEndWhereTheirColumnEndsOrAtTheRightEdge) {
  start(2, 80);
  host("a");               // column 0
  status(WARNING, "A");
  host("b");               // column 50, cut by the right edge
  status(CRITICAL, "B");
  ASSERT_EQ(frame_.labels.size(), 6u);
  for (const std::size_t i : {0u, 1u, 2u}) EXPECT_EQ(frame_.labels[i].end_column, 50) << i;
  for (const std::size_t i : {3u, 4u, 5u}) EXPECT_EQ(frame_.labels[i].end_column, 80) << i;
}

// A run of text per label: where it starts, what it shows, its pair and
// weight; every other cell blank.
struct TextRun {
  int row, column;
  std::string text;
  short pair;
  bool bold;
};

std::vector<std::string> cell_mismatches(const Frame& frame, const std::vector<TextRun>& runs) {
  const auto rows = static_cast<std::size_t>(frame.rows);
  const auto columns = static_cast<std::size_t>(frame.columns);
  std::vector<std::vector<Cell>> want(rows, std::vector<Cell>(columns));
  for (const TextRun& run : runs)
    for (std::size_t i = 0; i < run.text.size(); ++i)
      want.at(static_cast<std::size_t>(run.row)).at(static_cast<std::size_t>(run.column) + i) = {run.text[i], run.pair,
                                                                                                   run.bold};
  const auto got = paint_cells(frame);
  std::vector<std::string> found;
  for (std::size_t row = 0; row < rows; ++row)
    for (std::size_t column = 0; column < columns; ++column) {
      const Cell& g = got[row][column];
      const Cell& w = want[row][column];
      if (g.character != w.character || g.pair != w.pair || g.bold != w.bold) {
        std::ostringstream where;
        where << row << "," << column << ": got '" << g.character << "' pair " << g.pair << ", want '" << w.character
              << "' pair " << w.pair;
        found.push_back(where.str());
      }
    }
  return found;
}

// Ten hosts with one CRITICAL service each fill the first column and start
// the second; the long names of the eleventh host end at the right edge
// instead of running onto the rows below, where app03 and its service are.
TEST_F(ReportLayout, NamesReachingTheRightEdgeStopThere) {
  std::vector<TextRun> runs;
  std::vector<std::string> names;  // the labels point into them
  for (int i = 0; i < 10; ++i) names.push_back("app0" + std::to_string(i));
  for (int i = 0; i < 10; ++i) {
    const std::string& name = names[static_cast<std::size_t>(i)];
    host(name);
    status(CRITICAL, "HTTP");
    const int row = 3 * (i % 8);
    const int column = i < 8 ? 0 : 50;
    runs.push_back({row, column, " " + name + " ", 1, false});
    runs.push_back({row + 1, column + 2, " CRITICAL ", 3, false});
    runs.push_back({row + 1, column + 12, " HTTP", 0, true});
  }
  host("web-frontend-01");
  status(CRITICAL, "HTTPS certificate expiry check");
  status(WARNING, "Disk /var/lib/postgresql");
  runs.push_back({6, 50, " web-frontend-01 ", 1, false});
  runs.push_back({7, 52, " CRITICAL ", 3, false});
  runs.push_back({7, 62, " HTTPS certificate", 0, true});
  runs.push_back({8, 52, " WARNING ", 2, false});
  runs.push_back({8, 61, " Disk /var/lib/post", 0, true});
  EXPECT_EQ(cell_mismatches(frame_, runs), std::vector<std::string>{});
}

// A name longer than its column stops where the next column starts, so the
// next column's labels and names stay as they are.
TEST_F(ReportLayout, NamesLongerThanTheirColumnStopAtTheNextColumn) {
  start(8, 150);
  host("alpha");
  status(CRITICAL, "HTTPS certificate expiry check for the public load balancer pool");
  std::vector<TextRun> runs = {{0, 0, " alpha ", 1, false},
                           {1, 2, " CRITICAL ", 3, false},
                           {1, 12, " HTTPS certificate expiry check for th", 0, true}};
  const int rows[] = {3, 6, 0, 3, 6, 0};
  const int columns[] = {0, 0, 50, 50, 50, 100};
  std::vector<std::string> names;  // the labels point into them
  for (int i = 0; i < 6; ++i) names.push_back(std::string("b").append(std::to_string(i + 1)));
  for (int i = 0; i < 6; ++i) {
    const std::string& name = names[static_cast<std::size_t>(i)];
    host(name);
    status(CRITICAL, "HTTP");
    runs.push_back({rows[i], columns[i], " " + name + " ", 1, false});
    runs.push_back({rows[i] + 1, columns[i] + 2, " CRITICAL ", 3, false});
    runs.push_back({rows[i] + 1, columns[i] + 12, " HTTP", 0, true});
  }
  EXPECT_EQ(cell_mismatches(frame_, runs), std::vector<std::string>{});
}

TEST_F(ReportLayout, EveryFrameStartsAtTheTopLeft) {
  for (int i = 0; i < 30; ++i) host("h");
  Frame next(24, 80);
  ReportWriter writer{&next};
  put_host(writer, "first");
  EXPECT_EQ(describe(next), (std::vector<std::string>{"0,0 1 [ first ]"}));
}

}  // namespace
