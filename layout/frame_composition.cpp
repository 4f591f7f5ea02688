#include "layout/frame_composition.h"

#include <algorithm>
#include <string_view>

#include "config/command_line.h"
#include "layout/banner.h"
#include "layout/clock_note.h"
#include "layout/frame.h"
#include "layout/hidden_note.h"
#include "layout/report_layout.h"
#include "layout/server_names_row.h"
#include "layout/servers_layout.h"
#include "refresh/outcome.h"

namespace {

// Completed by the clock, which then tells when the waiting began.
constexpr std::string_view WAITING_TEXT = " waiting for the server since";
constexpr std::string_view WAITING_FOR_SERVERS_TEXT = " waiting for the servers since";

// One server: the report, or the banner and with -u the reason under it.
void lay_out_outcome(const Outcome& shown, bool show_reason, Frame& frame) {
  if (shown.banner && !shown.banner_text.empty())
    show_banner(frame, shown.banner_text);
  else if (shown.banner)
    show_no_connection(frame);
  else
    lay_out_report(shown.report, frame);
  if (show_reason && shown.banner)
    show_reason_line(frame, reason_since_text(shown.reason, shown.failing_since, shown.cause_since));
}

// The time the clock shows: the end of the latest fetch shown, or before
// any answer, when the waiting began.
std::time_t clock_time(std::span<const ServerView> servers, bool answered) {
  std::time_t latest = 0;
  std::time_t first_wait = servers.front().waiting_since;
  for (const ServerView& server : servers) {
    if (server.shown) latest = std::max(latest, server.shown->fetched_at);
    first_wait = std::min(first_wait, server.waiting_since);
  }
  return answered ? latest : first_wait;
}

// The unread rows are told always, under the reports they belong to.
int unread_rows(std::span<const ServerView> servers) {
  int unread = 0;
  for (const ServerView& server : servers)
    if (server.shown && !server.shown->banner) unread += server.shown->report.unread_rows;
  return unread;
}

}  // namespace

void compose_frame(std::span<const ServerView> servers, const Options& options, Frame& frame) {
  const bool answered =
      std::any_of(servers.begin(), servers.end(), [](const ServerView& server) { return server.shown; });
  // Before any answer the screen stays black, unless -u says it waits.
  if (servers.empty() || (!answered && !options.show_clock)) return;
  const bool several = servers.size() > 1;
  LastRowNotes notes;
  notes.unread = unread_rows(servers);
  // One server's last row keeps its report under the notes; several keep
  // theirs above them.
  if (several)
    lay_out_servers(servers, options.show_clock, {options.show_clock || notes.unread > 0, options.show_hidden},
                    frame);
  else if (answered)
    lay_out_outcome(*servers.front().shown, options.show_clock, frame);
  notes.show_hidden = options.show_hidden;
  ClockText clock;
  if (options.show_clock) {
    clock = clock_text(clock_time(servers, answered));
    notes.clock = clock.view();
    if (!answered) notes.waiting = several ? WAITING_FOR_SERVERS_TEXT : WAITING_TEXT;
    // A report drawn without the details asked for says why, up to the
    // clock of the fetch it comes from.
    const Outcome* one = several || !answered ? nullptr : servers.front().shown;
    if (one && !one->banner && !one->details_problem.empty())
      notes.waiting = keep_text(frame, " " + one->details_problem + ",");
    if (several) notes.covered_at_left = put_server_names(frame, servers);
  }
  put_last_row_notes(frame, notes);
}
