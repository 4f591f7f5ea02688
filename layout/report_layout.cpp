#include "layout/report_layout.h"

#include "common/age_text.h"
#include "layout/cell_width.h"

namespace {

constexpr int STATUS_INDENT = 2;

// LINE: a row of its own that is no part of a report (a server's header, the
// reason under a failing server's), its text as given.
enum class LabelKind { HOST, STATUS, LINE };

// Where the service name beside a status label goes.
struct NameSpot {
  int row;
  int column;
};

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
int column_end(const ReportWriter& writer) {
  const int next_column = writer.column + REPORT_COLUMN_WIDTH;
  return next_column < writer.frame->columns ? next_column : writer.frame->columns;
}

// The first row the writer's columns do not fill.
int bottom(const ReportWriter& writer) {
  return writer.rows >= 0 && writer.rows < writer.frame->rows ? writer.rows : writer.frame->rows;
}

// Curses refuses text that starts beyond the screen; so do we, and the
// caller's service name is then dropped with its label.
bool place(ReportWriter& writer, int row, int column, std::string_view text, ColourRole role,
           LabelForm form = LabelForm::PADDED, bool bold = false) {
  Frame& frame = *writer.frame;
  if (row < 0 || row >= frame.rows || column < 0 || column >= frame.columns) {
    if (column >= frame.columns && counted_when_hidden(role)) ++frame.hidden_labels;
    return false;
  }
  // Rows the writer may not fill (the notes' last row) hide what would go
  // there, as the right edge does.
  if (row >= bottom(writer)) {
    if (counted_when_hidden(role)) ++frame.hidden_labels;
    return false;
  }
  const Label& placed = frame.labels.emplace_back(
      Label{row, column, text, role, bold, form, column_end(writer)});
  // In the last cell only its leading space shows: as good as not there.
  if (counted_when_hidden(role) && text_column(placed) >= drawn_end(placed, frame.columns)) ++frame.hidden_labels;
  return true;
}

// Places a label where the writer stands and moves it on. For a status
// label, where its service name goes: nothing when the label could not be
// placed, so that its name is not drawn either. A line's text starts indent
// cells into the column, bold as asked.
std::optional<NameSpot> put_label(ReportWriter& writer, std::string_view text, ColourRole role, LabelKind kind,
                                  int indent = 0, bool bold = false) {
  const int rows = bottom(writer);
  if (writer.row >= rows) {
    writer.column += REPORT_COLUMN_WIDTH;
    writer.row = 0;
    // A server's lines go on under its header again, so that no line's
    // server is in doubt; with room for the line under it only.
    if (writer.header && rows > 1) {
      place(writer, 0, writer.column, writer.header->text, writer.header->role, LabelForm::PLAIN, true);
      writer.row = 1;
    }
    // A run that crosses the bottom goes on at the top of the next column as
    // if it started there, instead of losing the label at row -1, and under
    // its host's label again, so that no status label stands without it.
    // Without room for both the run then goes on alone.
    writer.in_status_run = false;
    if (kind == LabelKind::STATUS && writer.run_host && rows - writer.row > 1) {
      place(writer, writer.row, writer.column, *writer.run_host, HOST_ROLE);
      ++writer.row;
    }
  }
  std::optional<NameSpot> name;
  if (kind == LabelKind::STATUS) {
    const int row = writer.in_status_run ? writer.row - 1 : writer.row++;
    const int column = writer.column + STATUS_INDENT;
    if (place(writer, row, column, text, role)) name = NameSpot{row, column + static_cast<int>(text.size()) + 2};
    writer.in_status_run = true;
  } else if (kind == LabelKind::LINE) {
    place(writer, writer.row, writer.column + indent, text, role, LabelForm::PLAIN, bold);
    writer.in_status_run = false;
    writer.run_host = std::nullopt;
  } else {
    place(writer, writer.row, writer.column, text, role);
    writer.in_status_run = false;
    writer.run_host = role == HOST_ROLE ? std::optional(text) : std::nullopt;
    if (role == DOWN_HOST_ROLE) ++writer.row;  // the empty row after a DOWN host
  }
  ++writer.row;
  return name;
}

}  // namespace

void put_host(ReportWriter& writer, std::string_view name) { put_label(writer, name, HOST_ROLE, LabelKind::HOST); }

void put_down_host(ReportWriter& writer, std::string_view name) {
  put_label(writer, name, DOWN_HOST_ROLE, LabelKind::HOST);
}

void put_unreachable_host(ReportWriter& writer, std::string_view name) {
  put_label(writer, name, UNREACHABLE_ROLE, LabelKind::HOST);
}

void put_status(ReportWriter& writer, ServiceStatus status, std::string_view service) {
  const std::optional<NameSpot> name = put_label(writer, status_word(status), status_role(status), LabelKind::STATUS);
  if (!name) return;
  // The name ends where its status label's column does; a name that starts
  // beyond the right edge is not drawn at all.
  const int end = column_end(writer);
  if (name->column < end)
    writer.frame->labels.push_back({name->row, name->column, service, TEXT_ROLE, true, LabelForm::SERVICE_NAME, end});
}

void put_line(ReportWriter& writer, std::string_view text, ColourRole role, int indent, bool bold) {
  put_label(writer, text, role, LabelKind::LINE, indent, bold);
}

int line_room(const ReportWriter& writer, int indent) {
  // A line at the column's foot goes on in the next column.
  const int column = writer.row >= bottom(writer) ? writer.column + REPORT_COLUMN_WIDTH : writer.column;
  const int end = column + REPORT_COLUMN_WIDTH < writer.frame->columns ? column + REPORT_COLUMN_WIDTH
                                                                       : writer.frame->columns;
  return end - column - indent;
}

bool put_header(ReportWriter& writer, HeaderLine header, bool lines_follow) {
  writer.header = std::nullopt;
  writer.in_status_run = false;
  writer.run_host = std::nullopt;
  // Its server's first line goes with it.
  if (lines_follow && writer.row > 0 && writer.row >= bottom(writer) - 1) {
    writer.column += REPORT_COLUMN_WIDTH;
    writer.row = 0;
  }
  const std::size_t before = writer.frame->labels.size();
  put_label(writer, header.text, header.role, LabelKind::LINE, 0, true);
  writer.header = header;
  if (writer.frame->labels.size() == before) return false;
  const Label& placed = writer.frame->labels.back();
  return placed.column + 1 < drawn_end(placed, writer.frame->columns);
}

namespace {

// What the end of an item's row shows: a SOFT problem's attempt before its
// age ("1/3 30s"), the age alone, the attempt alone without ages; empty when
// there is nothing to show.
std::string detail_end_text(const ItemDetail& detail, bool ages) {
  std::string text;
  if (detail.attempt > 0) text = std::to_string(detail.attempt) + "/" + std::to_string(detail.max_attempts);
  if (ages) text += (text.empty() ? "" : " ") + age_text(detail.age_seconds);
  return text;
}

// The age (and a SOFT problem's attempt) at the end of a row just placed,
// right-aligned in its column, and the check's output two blanks after the
// name: the name's label is cut to leave one blank before the age, the
// output before that. old_role: the age's colours when not fresh.
void put_details(ReportWriter& writer, std::size_t name_label, int name_cells, int output_gap,
                 const ItemDetail& detail, const ReportDetails& details, ColourRole old_role) {
  Frame& frame = *writer.frame;
  const int row = frame.labels[name_label].row;
  const int end = frame.labels[name_label].end_column;
  const int name_start = text_column(frame.labels[name_label]);
  int room_end = end;
  const std::string end_text = detail_end_text(detail, details.ages);
  const int age_at = end - static_cast<int>(end_text.size());
  const bool age_shown = !end_text.empty() && age_at > name_start + 1 && age_at < frame.columns;
  if (age_shown) {
    room_end = age_at - 1;
    frame.labels[name_label].end_column = room_end;
  }
  const int output_at = name_start + name_cells + output_gap;
  if (details.output && !detail.output.empty() && output_at < room_end && output_at < frame.columns)
    frame.labels.push_back({row, output_at, detail.output, TEXT_ROLE, false, LabelForm::PLAIN, room_end});
  if (!age_shown) return;
  const bool fresh = details.ages && detail.age_seconds >= 0 && detail.age_seconds < details.fresh_seconds;
  frame.labels.push_back(
      {row, age_at, keep_text(frame, end_text), fresh ? FRESH_AGE_ROLE : old_role, false, LabelForm::PLAIN, end});
}

}  // namespace

void lay_out_report(const Report& report, ReportWriter& writer) {
  Frame& frame = *writer.frame;
  if (report.alarm) frame.background = ALARM_ROLE;
  if (report.decoded_names) frame.kept_texts.push_back(report.decoded_names);
  const ReportDetails& details = report.details;
  const bool with_details = details.items.size() == report.items.size() && (details.ages || details.output ||
                                                                            !details.items.empty());
  if (with_details && details.texts) frame.kept_texts.push_back(details.texts);
  for (std::size_t i = 0; i < report.items.size(); ++i) {
    const ReportItem& item = report.items[i];
    const std::size_t before = frame.labels.size();
    ColourRole role = TEXT_ROLE;
    switch (item.kind) {
      case ReportItemKind::HOST: put_host(writer, item.name); continue;
      case ReportItemKind::DOWN_HOST: put_down_host(writer, item.name); role = DOWN_HOST_ROLE; break;
      case ReportItemKind::UNREACHABLE_HOST: put_unreachable_host(writer, item.name); role = UNREACHABLE_ROLE; break;
      case ReportItemKind::SERVICE: put_status(writer, item.status, item.name); break;
    }
    if (!with_details || frame.labels.size() == before) continue;
    // The item's name is the last label placed: a host's own, or the
    // service name beside its status label.
    const std::size_t name_label = frame.labels.size() - 1;
    if (frame.labels[name_label].text.data() != item.name.data()) continue;
    // After a padded host label the output keeps two blanks from its name
    // as after a service's name: one of them is the label's own.
    const int gap = item.kind == ReportItemKind::SERVICE ? 2 : 3;
    put_details(writer, name_label, cell_width(item.name), gap, details.items[i], details, role);
  }
}

void lay_out_report(const Report& report, Frame& frame) {
  ReportWriter writer{&frame};
  lay_out_report(report, writer);
}
