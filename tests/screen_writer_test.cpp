#include <gtest/gtest.h>

#include "frame_view.h"
#include "report/screen_writer.h"

namespace {

class ScreenWriter : public testing::Test {
 protected:
  void SetUp() override { report_cursor = ReportCursor{.new_frame = true}; }
  void host(std::string_view name) { put_label(frame_, name, 0, HOST_LABEL); }
  void down(std::string_view name) { put_label(frame_, name, 2, HOST_LABEL); }
  void unreachable(std::string_view name) { put_label(frame_, name, 3, HOST_LABEL); }
  void status(std::string_view word, int colour, std::string_view service) {
    put_label(frame_, word, colour, STATUS_LABEL);
    put_service_name(frame_, service);
  }
  Frame frame_{24, 80};
};

TEST_F(ScreenWriter, StatusRunKeepsOneRowAheadSoGroupsAreSeparated) {
  host("web1");
  status("WARNING", 1, "A");
  status("CRITICAL", 2, "B");
  status("UNKNOWN", 3, "C");
  host("mail");
  EXPECT_EQ(describe(frame_), (std::vector<std::string>{
                                  "0,0 1 [ web1 ]",
                                  "1,2 2 [ WARNING ]", "1,11 0b [ A]",
                                  "2,2 3 [ CRITICAL ]", "2,12 0b [ B]",
                                  "3,2 4 [ UNKNOWN ]", "3,11 0b [ C]",
                                  "5,0 1 [ mail ]",
                              }));
}

TEST_F(ScreenWriter, DownHostLeavesAnEmptyRowUnreachableDoesNot) {
  down("db1");
  host("web1");
  unreachable("gw1");
  unreachable("gw2");
  EXPECT_EQ(describe(frame_), (std::vector<std::string>{"0,0 6 [ db1 ]", "2,0 1 [ web1 ]", "3,0 4 [ gw1 ]",
                                                         "4,0 4 [ gw2 ]"}));
}

TEST_F(ScreenWriter, DownHostNearTheBottomSendsTheNextLabelToTheNextColumn) {
  for (const int last_row : {22, 23}) {
    SetUp();
    frame_ = Frame(24, 80);
    for (int i = 0; i < last_row; ++i) unreachable("u");
    down("db1");
    host("web1");
    ASSERT_EQ(frame_.labels.size(), static_cast<std::size_t>(last_row + 2));
    EXPECT_EQ(describe(frame_.labels[static_cast<std::size_t>(last_row)]), std::to_string(last_row) + ",0 6 [ db1 ]");
    EXPECT_EQ(describe(frame_.labels.back()), "0,50 1 [ web1 ]");
  }
}

TEST_F(ScreenWriter, RunCrossingTheBottomGoesOnAtTheTopOfTheNextColumn) {
  for (int i = 0; i < 22; ++i) unreachable("u");
  host("web1");             // row 22
  status("WARNING", 1, "A");  // row 23
  status("CRITICAL", 2, "B");  // next column, row 0, its name beside it
  status("UNKNOWN", 3, "C");
  host("mail");
  const std::vector<std::string> all = describe(frame_);
  ASSERT_GE(all.size(), 8u);
  const std::vector<std::string> tail(all.end() - 8, all.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"22,0 1 [ web1 ]", "23,2 2 [ WARNING ]", "23,11 0b [ A]",
                                            "0,52 3 [ CRITICAL ]", "0,62 0b [ B]", "1,52 4 [ UNKNOWN ]",
                                            "1,61 0b [ C]", "3,50 1 [ mail ]"}));
}

TEST_F(ScreenWriter, LabelsBeyondTheRightEdgeAreDroppedWithTheirNames) {
  frame_ = Frame(2, 60);
  host("a");                 // 0,0
  status("WARNING", 1, "A");  // 1,2
  host("b");                 // column 50, row 0
  status("CRITICAL", 2, "B");  // 1,52: its name would start at column 62
  host("c");                 // column 100: beyond the screen
  status("UNKNOWN", 3, "C");
  EXPECT_EQ(describe(frame_), (std::vector<std::string>{"0,0 1 [ a ]", "1,2 2 [ WARNING ]", "1,11 0b [ A]",
                                                         "0,50 1 [ b ]", "1,52 3 [ CRITICAL ]"}));
  EXPECT_EQ(report_cursor.column, 100);
}

TEST_F(ScreenWriter, EveryFrameStartsAtTheTopLeft) {
  for (int i = 0; i < 30; ++i) host("h");
  report_cursor.new_frame = true;
  Frame next(24, 80);
  put_label(next, "first", 0, HOST_LABEL);
  EXPECT_EQ(describe(next), (std::vector<std::string>{"0,0 1 [ first ]"}));
}

}  // namespace
