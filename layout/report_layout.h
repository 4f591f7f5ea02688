#pragma once
// Places the report's labels into a Frame, one under another in columns
// REPORT_COLUMN_WIDTH characters wide: when a column is full, writing goes on
// at the top of the next column to the right.
#include <optional>
#include <string_view>

#include "layout/frame.h"
#include "report/report.h"

inline constexpr int REPORT_COLUMN_WIDTH = 50;

// A row that heads what follows it in the column (a server's header): its
// text as given, bold, in role's colours.
struct HeaderLine {
  std::string_view text;
  ColourRole role;
};

// The writer's own state while it fills a frame, kept apart from what the
// frame shows: where the next label goes and the run of status labels under
// way. A new writer starts at the top left.
struct ReportWriter {
  Frame* frame;
  int row = 0;
  int column = 0;              // left edge of the current report column: 0, 50, 100, ...
  bool in_status_run = false;  // the previous label was a status label
  // The green host label above the status labels now being written, so
  // that a run going on in the next column starts there under it again.
  std::optional<std::string_view> run_host = std::nullopt;
  // The rows its columns fill from the top: the frame's when negative. With
  // several servers and notes in the last row, all rows but that one.
  int rows = -1;
  // The header of the server whose lines are being written, so that they
  // go on in the next column under it again.
  std::optional<HeaderLine> header = std::nullopt;
};

// A green host label, heading its service problems.
void put_host(ReportWriter& writer, std::string_view name);
// A DOWN host, followed by an empty row.
void put_down_host(ReportWriter& writer, std::string_view name);
void put_unreachable_host(ReportWriter& writer, std::string_view name);
// A status label two columns in, and the service name beside it in bold.
// During a run of status labels the row is kept one ahead, so one empty row
// follows the run.
void put_status(ReportWriter& writer, ServiceStatus status, std::string_view service);

// A row of its own that is no part of a report, such as a server's header:
// text as given (it carries its own spaces), indent cells into the column,
// in role's colours, and bold when asked, cut at the column's end. It ends
// the run of status labels above it, and at the bottom of a column goes on
// at the top of the next, as a host label does.
void put_line(ReportWriter& writer, std::string_view text, ColourRole role, int indent, bool bold);

// The cells a line put now with indent has before its column's end (or the
// right edge): where text that must not be cut is measured.
int line_room(const ReportWriter& writer, int indent);

// A server's header: a line at the column's left edge, repeated at the top
// of each column its server's lines go on in (above a host label repeated
// there). A header with lines to follow never ends a column: one that would
// stand in its last row opens the next with them. Says whether the header's
// name shows (its first cell after the leading space is on the screen).
bool put_header(ReportWriter& writer, HeaderLine header, bool lines_follow = true);

// The whole report: the frame's background and every item in order, from
// where the writer stands.
void lay_out_report(const Report& report, ReportWriter& writer);
// The same into a frame of its own, from its top left.
void lay_out_report(const Report& report, Frame& frame);
