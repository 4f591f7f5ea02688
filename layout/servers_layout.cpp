#include "layout/servers_layout.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "layout/banner.h"
#include "layout/cell_width.h"
#include "layout/frame.h"
#include "layout/report_layout.h"
#include "layout/server_header.h"
#include "refresh/outcome.h"

namespace {

constexpr int REASON_INDENT = 1;

bool failing(const ServerView& server) { return server.shown && server.shown->banner; }

// A list of no problems, none of them unread either.
bool calm(const Outcome& shown) { return shown.report.items.empty() && shown.report.unread_rows == 0; }

// A line centred on the screen by its cells; one wider than the screen
// starts at its left edge and is cut at the right.
void put_centred(Frame& frame, std::string_view text, int row, ColourRole role) {
  if (text.empty() || row < 0 || row >= frame.rows || frame.columns <= 0) return;
  const int column = std::max(0, (frame.columns - cell_width(text)) / 2);
  frame.labels.push_back({row, column, keep_text(frame, text), role, false, LabelForm::PLAIN, frame.columns});
}

// The banner in the words every server shares, and with show_reasons each
// server's reason under it, one a row above the rows' end.
void lay_out_shared_banner(std::span<const ServerView> servers, bool show_reasons, int rows, Frame& frame) {
  show_banner(frame, banner_words(*servers.front().shown));
  if (!show_reasons) return;
  int row = frame.rows / 2 + 1;
  for (const ServerView& server : servers) {
    if (row >= rows) break;
    std::string lead(server.name);
    lead.append(": ");
    put_centred(frame, fitted_reason(lead, *server.shown, frame.columns), row++, TEXT_ROLE);
  }
}

// Banners that disagree: each server's own words on a line of its own (and
// its reason under it), from the screen's middle row on, or higher when
// they need the room; those that do not fit are counted on a line of their
// own.
void lay_out_own_banners(std::span<const ServerView> servers, bool show_reasons, int rows, Frame& frame) {
  const int each = show_reasons ? 2 : 1;
  const int count = static_cast<int>(servers.size());
  const int shown = count * each <= rows ? count : std::max(0, (rows - 1) / each);
  const int height = shown * each + (shown < count ? 1 : 0);
  int row = std::max(0, std::min(frame.rows / 2, rows - height));
  for (int n = 0; n < shown; ++n) {
    const ServerView& server = servers[static_cast<std::size_t>(n)];
    put_centred(frame, failing_server_words(server.name, *server.shown), row++, BANNER_ROLE);
    if (show_reasons) put_centred(frame, fitted_reason({}, *server.shown, frame.columns), row++, TEXT_ROLE);
  }
  if (shown < count && row < rows) {
    std::string more(" +");
    more.append(std::to_string(count - shown)).append(" more ");
    put_centred(frame, more, row, BANNER_ROLE);
  }
}

void lay_out_all_failing(std::span<const ServerView> servers, bool show_reasons, int rows, Frame& frame) {
  const std::string_view words = banner_words(*servers.front().shown);
  const bool shared = std::all_of(servers.begin(), servers.end(),
                                  [&](const ServerView& server) { return banner_words(*server.shown) == words; });
  if (shared)
    lay_out_shared_banner(servers, show_reasons, rows, frame);
  else
    lay_out_own_banners(servers, show_reasons, rows, frame);
}

// The screen turns red for a DOWN or UNREACHABLE host on a list shown.
bool alarm(std::span<const ServerView> servers) {
  return std::any_of(servers.begin(), servers.end(), [](const ServerView& server) {
    return server.shown && !server.shown->banner && server.shown->report.alarm;
  });
}

void lay_out_in_rows(std::span<const ServerView> servers, bool show_reasons, int rows, Frame& frame) {
  if (!servers.empty() && std::all_of(servers.begin(), servers.end(), failing)) {
    lay_out_all_failing(servers, show_reasons, rows, frame);
    return;
  }
  ReportWriter writer{&frame};
  writer.rows = rows;
  // Known before any header is laid, so that a failing one stands out on
  // the red screen too.
  const ColourRole failing_role = alarm(servers) ? FAILING_SERVER_ALARM_ROLE : BANNER_ROLE;
  // The failing servers first: no flood of problems pushes them out of sight.
  for (const ServerView& server : servers) {
    if (!failing(server)) continue;
    // No rows of its own: a failing server's last list may be stale.
    const std::string_view header =
        keep_text(frame, failing_server_header(server.name, *server.shown, server.exclude_fault));
    if (!put_header(writer, {header, failing_role}, show_reasons)) ++frame.hidden_labels;
    if (show_reasons) {
      const std::string reason = fitted_reason({}, *server.shown, line_room(writer, REASON_INDENT));
      put_line(writer, keep_text(frame, reason), TEXT_ROLE, REASON_INDENT, false);
    }
  }
  for (const ServerView& server : servers) {
    if (!server.shown || failing(server)) continue;
    const bool quiet = calm(*server.shown);
    if (quiet && !server.exclude_fault) continue;
    put_header(writer, {keep_text(frame, server_header(server.name, server.exclude_fault)), SERVER_ROLE}, !quiet);
    lay_out_report(server.shown->report, writer);
  }
}

}  // namespace

void lay_out_servers(std::span<const ServerView> servers, bool show_reasons, LastRowUse last_row, Frame& frame) {
  if (last_row.noted) {
    lay_out_in_rows(servers, show_reasons, frame.rows - 1, frame);
    return;
  }
  // -m's note is there only when something is hidden: with all the rows
  // first, and again without the last if the note then comes.
  const std::size_t labels = frame.labels.size(), kept = frame.kept_texts.size(), own = frame.own_texts.size();
  const int hidden = frame.hidden_labels;
  const ColourRole background = frame.background;
  lay_out_in_rows(servers, show_reasons, frame.rows, frame);
  if (!last_row.counted || frame.hidden_labels == hidden) return;
  frame.labels.erase(frame.labels.begin() + static_cast<std::ptrdiff_t>(labels), frame.labels.end());
  frame.kept_texts.resize(kept);
  frame.own_texts.resize(own);
  frame.hidden_labels = hidden;
  frame.background = background;
  lay_out_in_rows(servers, show_reasons, frame.rows - 1, frame);
}
