#include <gtest/gtest.h>

#include "frame_view.h"
#include "report/screen_writer.h"

namespace {

constexpr ServiceStatus WARNING = ServiceStatus::WARNING;
constexpr ServiceStatus CRITICAL = ServiceStatus::CRITICAL;
constexpr ServiceStatus UNKNOWN = ServiceStatus::UNKNOWN;

class ScreenWriter : public testing::Test {
 protected:
  void host(std::string_view name) { put_host(frame_, name); }
  void down(std::string_view name) { put_down_host(frame_, name); }
  void unreachable(std::string_view name) { put_unreachable_host(frame_, name); }
  void status(ServiceStatus status, std::string_view service) { put_status(frame_, status, service); }
  Frame frame_{24, 80};
};

TEST_F(ScreenWriter, StatusRunKeepsOneRowAheadSoGroupsAreSeparated) {
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
  status(WARNING, "A");  // row 23
  status(CRITICAL, "B");  // next column, row 0, its name beside it
  status(UNKNOWN, "C");
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
  status(WARNING, "A");  // 1,2
  host("b");                 // column 50, row 0
  status(CRITICAL, "B");  // 1,52: its name would start at column 62
  host("c");                 // column 100: beyond the screen
  status(UNKNOWN, "C");
  EXPECT_EQ(describe(frame_), (std::vector<std::string>{"0,0 1 [ a ]", "1,2 2 [ WARNING ]", "1,11 0b [ A]",
                                                         "0,50 1 [ b ]", "1,52 3 [ CRITICAL ]"}));
  EXPECT_EQ(frame_.report_cursor.column, 100);
  // The UNKNOWN label at column 102 could not be placed; the host label c
  // is not counted, its service is.
  EXPECT_EQ(frame_.hidden_labels, 1);
}

TEST_F(ScreenWriter, EveryFrameStartsAtTheTopLeft) {
  for (int i = 0; i < 30; ++i) host("h");
  Frame next(24, 80);
  put_host(next, "first");
  EXPECT_EQ(describe(next), (std::vector<std::string>{"0,0 1 [ first ]"}));
}

}  // namespace
