#include "report/screen_writer.h"

ReportCursor report_cursor;

namespace {

constexpr short DOWN_HOST_PAIR = 6;
constexpr int STATUS_INDENT = 2;

// Curses refuses text that starts beyond the screen; so do we, and the
// caller's service name is then dropped with its label.
bool place(Frame& frame, int row, int column, std::string_view text, short pair) {
  if (row < 0 || row >= frame.rows || column < 0 || column >= frame.columns) return false;
  frame.labels.push_back({row, column, text, pair, false, false});
  return true;
}

}  // namespace

void put_label(Frame& frame, std::string_view text, int colour_index, int kind) {
  ReportCursor& cursor = report_cursor;
  if (cursor.new_frame) {
    cursor.row = 0;
    cursor.column = 0;
    cursor.new_frame = false;
  }
  if (cursor.row >= frame.rows) {
    cursor.column += REPORT_COLUMN_WIDTH;
    cursor.row = 0;
    // A run that crosses the bottom goes on at the top of the next column as
    // if it started there, instead of losing the label at row -1.
    cursor.in_status_run = false;
  }
  const short pair = static_cast<short>(colour_index + 1);
  if (kind == STATUS_LABEL) {
    const int row = cursor.in_status_run ? cursor.row - 1 : cursor.row++;
    const int column = cursor.column + STATUS_INDENT;
    if (place(frame, row, column, text, pair)) {
      frame.service_row = row;
      frame.service_column = column + static_cast<int>(text.size()) + 2;
    } else {
      frame.service_row = frame.service_column = -1;
    }
    cursor.in_status_run = true;
  } else if (colour_index == 2) {
    place(frame, cursor.row, cursor.column, text, DOWN_HOST_PAIR);
    cursor.in_status_run = false;
    ++cursor.row;
  } else {
    place(frame, cursor.row, cursor.column, text, pair);
    cursor.in_status_run = false;
  }
  ++cursor.row;
}

void put_service_name(Frame& frame, std::string_view name) {
  if (frame.service_row < 0) return;
  // Beyond the right edge curses would refuse it anyway.
  if (frame.service_column < frame.columns)
    frame.labels.push_back({frame.service_row, frame.service_column, name, 0, true, true});
  frame.service_row = frame.service_column = -1;
}
