#include "layout/report_layout.h"

namespace {

constexpr int STATUS_INDENT = 2;

enum class LabelKind { HOST, STATUS };

ColourRole status_role(ServiceStatus status) {
  switch (status) {
    case ServiceStatus::WARNING: return WARNING_ROLE;
    case ServiceStatus::CRITICAL: return CRITICAL_ROLE;
    case ServiceStatus::UNKNOWN: return UNKNOWN_ROLE;
  }
  return UNKNOWN_ROLE;
}

// Where the labels of the current report column end: each column owns its
// cells up to the next one's start, and none beyond the screen.
int column_end(const Frame& frame) {
  const int next_column = frame.report_cursor.column + REPORT_COLUMN_WIDTH;
  return next_column < frame.columns ? next_column : frame.columns;
}

// Curses refuses text that starts beyond the screen; so do we, and the
// caller's service name is then dropped with its label.
bool place(Frame& frame, int row, int column, std::string_view text, ColourRole role) {
  if (row < 0 || row >= frame.rows || column < 0 || column >= frame.columns) {
    if (column >= frame.columns && counted_when_hidden(role)) ++frame.hidden_labels;
    return false;
  }
  const Label& placed = frame.labels.emplace_back(
      Label{row, column, text, role, false, LabelForm::PADDED, column_end(frame)});
  // In the last cell only its leading space shows: as good as not there.
  if (counted_when_hidden(role) && text_column(placed) >= drawn_end(placed, frame.columns)) ++frame.hidden_labels;
  return true;
}

void put_label(Frame& frame, std::string_view text, ColourRole role, LabelKind kind) {
  ReportCursor& cursor = frame.report_cursor;
  if (cursor.row >= frame.rows) {
    cursor.column += REPORT_COLUMN_WIDTH;
    cursor.row = 0;
    // A run that crosses the bottom goes on at the top of the next column as
    // if it started there, instead of losing the label at row -1, and under
    // its host's label again, so that no status label stands without it.
    // One row has no room for both: the run then goes on alone.
    cursor.in_status_run = false;
    if (kind == LabelKind::STATUS && cursor.run_host && frame.rows > 1) {
      place(frame, 0, cursor.column, *cursor.run_host, HOST_ROLE);
      cursor.row = 1;
    }
  }
  if (kind == LabelKind::STATUS) {
    const int row = cursor.in_status_run ? cursor.row - 1 : cursor.row++;
    const int column = cursor.column + STATUS_INDENT;
    if (place(frame, row, column, text, role)) {
      frame.service_row = row;
      frame.service_column = column + static_cast<int>(text.size()) + 2;
    } else {
      frame.service_row = frame.service_column = -1;
    }
    cursor.in_status_run = true;
  } else {
    place(frame, cursor.row, cursor.column, text, role);
    cursor.in_status_run = false;
    cursor.run_host = role == HOST_ROLE ? std::optional(text) : std::nullopt;
    if (role == DOWN_HOST_ROLE) ++cursor.row;  // the empty row after a DOWN host
  }
  ++cursor.row;
}

}  // namespace

void put_host(Frame& frame, std::string_view name) { put_label(frame, name, HOST_ROLE, LabelKind::HOST); }

void put_down_host(Frame& frame, std::string_view name) { put_label(frame, name, DOWN_HOST_ROLE, LabelKind::HOST); }

void put_unreachable_host(Frame& frame, std::string_view name) {
  put_label(frame, name, UNREACHABLE_ROLE, LabelKind::HOST);
}

void put_status(Frame& frame, ServiceStatus status, std::string_view service) {
  put_label(frame, status_word(status), status_role(status), LabelKind::STATUS);
  if (frame.service_row < 0) return;
  // The name ends where its status label's column does; a name that starts
  // beyond the right edge is not drawn at all.
  const int end = column_end(frame);
  if (frame.service_column < end)
    frame.labels.push_back(
        {frame.service_row, frame.service_column, service, TEXT_ROLE, true, LabelForm::SERVICE_NAME, end});
  frame.service_row = frame.service_column = -1;
}

void lay_out_report(const Report& report, Frame& frame) {
  if (report.alarm) frame.background = ALARM_ROLE;
  if (report.decoded_names) frame.kept_text = report.decoded_names;
  for (const ReportItem& item : report.items) {
    switch (item.kind) {
      case ReportItemKind::HOST: put_host(frame, item.name); break;
      case ReportItemKind::DOWN_HOST: put_down_host(frame, item.name); break;
      case ReportItemKind::UNREACHABLE_HOST: put_unreachable_host(frame, item.name); break;
      case ReportItemKind::SERVICE: put_status(frame, item.status, item.name); break;
    }
  }
}
