#pragma once
#include <string_view>
#include <vector>

// One piece of text placed on the screen. A label is drawn with a space on
// each side (" text "); a service name with one leading space (" text").
struct Label {
  int row;
  int column;
  std::string_view text;  // points into the page or at a static word
  short pair;             // curses colour pair; 0 keeps the background's colours
  bool bold;
  bool service_name;
};

// A whole report, laid out for a screen of rows x columns, before curses
// sees it.
struct Frame {
  Frame(int screen_rows, int screen_columns) : rows(screen_rows), columns(screen_columns) {}
  int rows;
  int columns;
  short background = 5;  // 7 while a host is DOWN or UNREACHABLE
  std::vector<Label> labels;
  // Where the service name of the last status label goes; negative when that
  // label could not be placed, so its name is not drawn either.
  int service_row = -1;
  int service_column = -1;
};

inline constexpr int REPORT_COLUMN_WIDTH = 50;

// The write position of the report.
struct ReportCursor {
  int row = 0;
  int column = 0;             // left edge of the current report column: 0, 50, 100, ...
  bool new_frame = false;     // the next label starts a frame at the top left
  bool in_status_run = false; // the previous label was a status label
};

extern ReportCursor report_cursor;

// kind for put_label
inline constexpr int HOST_LABEL = 0;
inline constexpr int STATUS_LABEL = 1;

// Places one label at report_cursor and advances it. colour_index 0..3
// selects pairs 1..4; a host label (kind 0) with colour_index 2 is a DOWN
// host, drawn in pair 6 and followed by an empty row. During a run of status
// labels the row is kept one ahead, so one empty row follows the run.
void put_label(Frame& frame, std::string_view text, int colour_index, int kind);

// The service name beside the status label just placed, in bold.
void put_service_name(Frame& frame, std::string_view name);
