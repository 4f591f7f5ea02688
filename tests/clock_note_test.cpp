// The clock of -u at the end of the last row, beside the -m note.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "frame_view.h"
#include "layout/clock_note.h"
#include "layout/hidden_note.h"
#include "layout/banner.h"
#include "layout/report_layout.h"

namespace {

constexpr std::string_view CLOCK = " 12:34:56 ";

// count UNREACHABLE hosts, each named by its number.
Report unreachable_hosts(int count) {
  static std::vector<std::string> names;  // the report's views point into them
  names.clear();
  for (int i = 0; i < count; ++i) names.push_back(std::string("u").append(std::to_string(i)));
  Report report;
  report.alarm = count > 0;
  for (const std::string& name : names) report.items.push_back({name, ReportItemKind::UNREACHABLE_HOST, {}});
  return report;
}

std::string row_text(const Frame& frame, int row) {
  const auto cells = paint_cells(frame);
  std::string text;
  for (const Cell& cell : cells[static_cast<std::size_t>(row)]) text += cell.character;
  return text;
}

// Where the clock goes, alone and beside the note, and what it covers.
TEST(ClockNote, EndsTheLastRowLeftOfTheNote) {
  struct Case {
    int rows, columns, hosts;
    bool show_hidden;
    std::string last_row;
    int hidden;
  };
  const Case cases[] = {
      // All fits: the clock alone, with or without -m.
      {3, 40, 2, false, std::string(30, ' ') + " 12:34:56 ", 0},
      {3, 40, 2, true, std::string(30, ' ') + " 12:34:56 ", 0},
      // u2 on the last row: the clock beside it, then over it; once not a
      // letter of it shows, -m counts it.
      {3, 14, 3, true, " u2  12:34:56 ", 0},
      {3, 12, 3, true, " u 12:34:56 ", 0},
      {3, 11, 3, false, "  12:34:56 ", 1},
      {3, 11, 3, true, " +1 hidden ", 1},
      // Two beyond the edge: the note at the end, the clock just left of it,
      // over u5, which then counts too.
      {3, 60, 8, true, " u2 " + std::string(35, ' ') + " 12:34:56  +3 hidden ", 3},
      // Narrower than both: of the clock, what fits left of the note.
      {3, 15, 6, true, ":56  +4 hidden ", 4},
      {3, 8, 3, true, " hidden ", 1},
  };
  for (const Case& c : cases) {
    Frame frame(c.rows, c.columns);
    lay_out_report(unreachable_hosts(c.hosts), frame);
    put_last_row_notes(frame, CLOCK, c.show_hidden);
    const std::string where = std::to_string(c.rows) + "x" + std::to_string(c.columns) + ", " +
                              std::to_string(c.hosts) + " hosts" + (c.show_hidden ? ", -m" : "");
    EXPECT_EQ(row_text(frame, c.rows - 1), c.last_row) << where;
    EXPECT_EQ(frame.hidden_labels, c.hidden) << where;
  }
}

// The unread rows' note, always there when rows went unread: left of the
// clock and of -m's note, white on red and bold; what it covers counts as
// hidden; of it, what fits left of the others.
TEST(UnreadNote, LeftOfTheClockAndTheHiddenNote) {
  struct Case {
    int columns, hosts, unread;
    bool clock, show_hidden;
    std::string last_row;
  };
  const Case cases[] = {
      {30, 2, 1, false, false, std::string(20, ' ') + " 1 unread "},
      {40, 2, 12, true, false, std::string(19, ' ') + " 12 unread  12:34:56 "},
      {40, 8, 3, true, true, " 3 unread  12:34:56  +5 hidden "},
      // Narrower than all three: the note over u2, which then counts too.
      {22, 8, 3, true, true, ":34:56  +6 hidden "},
      {30, 2, 0, false, false, std::string(30, ' ')},
  };
  for (const Case& c : cases) {
    Frame frame(3, c.columns);
    lay_out_report(unreachable_hosts(c.hosts), frame);
    put_last_row_notes(frame, c.unread, c.clock ? CLOCK : std::string_view(), c.show_hidden);
    const std::string where = std::to_string(c.columns) + " columns, " + std::to_string(c.unread) + " unread";
    const std::string last = row_text(frame, 2);
    EXPECT_EQ(last.substr(last.size() - c.last_row.size()), c.last_row) << where;
    const auto cells = paint_cells(frame);
    const std::size_t note = last.find(" unread ");
    if (note == std::string::npos) continue;
    const Cell& cell = cells[2][note + 2];
    EXPECT_TRUE(cell.bold) << where;
    EXPECT_EQ(cell.pair, colour_pair(ALARM_ROLE)) << where;
  }
}

TEST(ClockNote, InTheBackgroundsColoursOnEveryScreen) {
  // The report on the alarm background, the all-clear screen, the banner.
  Frame report(24, 80);
  static const std::string HOST = "u0";
  report.background = ALARM_ROLE;
  ReportWriter writer{&report};
  put_unreachable_host(writer, HOST);
  Frame calm(24, 80);
  Frame banner(1, 30);
  show_no_connection(banner);
  for (Frame* frame : {&report, &calm, &banner}) {
    const std::size_t before = frame->labels.size();
    put_last_row_notes(*frame, CLOCK, true);
    ASSERT_EQ(frame->labels.size(), before + 1);
    const Label& clock = frame->labels.back();
    EXPECT_EQ(clock.row, frame->rows - 1);
    EXPECT_EQ(clock.column, frame->columns - 10);
    EXPECT_EQ(clock.text, CLOCK);
    // No pair of its own: white on black, or white on red.
    EXPECT_EQ(colour_pair(clock.role), 0);
    EXPECT_FALSE(clock.bold);
    EXPECT_EQ(frame->hidden_labels, 0);
  }
  // On a one-row screen it lies over the banner's end.
  EXPECT_EQ(row_text(banner, 0), "   No connection to  12:34:56 ");
}

TEST(ClockNote, TimeOfDayInTheLocalZone) {
  const char* saved = std::getenv("TZ");
  const std::string saved_zone = saved ? saved : "";
  struct Case {
    const char* zone;
    std::time_t when;
    const char* text;
  };
  const Case cases[] = {
      {"UTC0", 0, " 00:00:00 "},
      {"UTC0", 1796920046, " 16:27:26 "},
      {"XYZ-3", 1796920046, " 19:27:26 "},     // three hours east
      {"XYZ+11", 1796920046, " 05:27:26 "},    // eleven hours west
      {"UTC0", 1796920046 + 86399, " 16:27:25 "},
  };
  for (const Case& c : cases) {
    setenv("TZ", c.zone, 1);
    tzset();
    EXPECT_EQ(clock_text(c.when).view(), std::string_view(c.text)) << c.zone << " " << c.when;
  }
  if (saved) setenv("TZ", saved_zone.c_str(), 1);
  else unsetenv("TZ");
  tzset();
}

}  // namespace
