#include "layout/frame_composition.h"

#include "config/command_line.h"
#include "layout/banner.h"
#include "layout/clock_note.h"
#include "layout/frame.h"
#include "layout/hidden_note.h"
#include "layout/report_layout.h"
#include "refresh/refresh_record.h"

namespace {

// The report, or the banner.
void lay_out_outcome(const Outcome& shown, Frame& frame) {
  if (shown.banner && !shown.banner_text.empty())
    show_banner(frame, shown.banner_text);
  else if (shown.banner)
    show_no_connection(frame);
  else
    lay_out_report(shown.report, frame);
}

}  // namespace

void compose_frame(std::span<const Outcome> records, const Options& options, Frame& frame) {
  if (records.empty()) return;
  const Outcome& shown = records.front();
  lay_out_outcome(shown, frame);
  if (options.show_clock && shown.banner)
    show_reason_line(frame, reason_since_text(shown.reason, shown.failing_since, shown.cause_since));
  const ClockText clock = options.show_clock ? clock_text(shown.fetched_at) : ClockText{};
  // The unread rows are told always, under the report they belong to.
  const int unread = shown.banner ? 0 : shown.report.unread_rows;
  put_last_row_notes(frame, unread, clock.view(), options.show_hidden);
}
