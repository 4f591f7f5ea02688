#pragma once
// Places the report's labels into a Frame, one under another in columns
// REPORT_COLUMN_WIDTH characters wide: when a column is full, writing goes on
// at the top of the next column to the right. The frame's report_cursor is
// the write position.
#include <string_view>

#include "layout/frame.h"
#include "report/report.h"

inline constexpr int REPORT_COLUMN_WIDTH = 50;

// A green host label, heading its service problems.
void put_host(Frame& frame, std::string_view name);
// A DOWN host, followed by an empty row.
void put_down_host(Frame& frame, std::string_view name);
void put_unreachable_host(Frame& frame, std::string_view name);
// A status label two columns in, and the service name beside it in bold.
// During a run of status labels the row is kept one ahead, so one empty row
// follows the run.
void put_status(Frame& frame, ServiceStatus status, std::string_view service);

// The whole report: its background and every item in order.
void lay_out_report(const Report& report, Frame& frame);
