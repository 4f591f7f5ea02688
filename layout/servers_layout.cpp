#include "layout/servers_layout.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "layout/banner.h"
#include "layout/frame.h"
#include "layout/report_layout.h"
#include "layout/server_header.h"
#include "refresh/outcome.h"

namespace {

bool failing(const ServerView& server) { return server.shown && server.shown->banner; }

// A list of no problems, none of them unread either.
bool calm(const Outcome& shown) { return shown.report.items.empty() && shown.report.unread_rows == 0; }

// The banner in the words every server shares, the no-connection banner
// when their words differ; the reasons tell each one's.
void lay_out_all_failing(std::span<const ServerView> servers, bool show_reasons, Frame& frame) {
  const std::string_view words = servers.front().shown->banner_text;
  const bool shared = std::all_of(servers.begin(), servers.end(),
                                  [&](const ServerView& server) { return server.shown->banner_text == words; });
  if (shared && !words.empty())
    show_banner(frame, words);
  else
    show_no_connection(frame);
  if (!show_reasons) return;
  // The last row is the notes'.
  int row = frame.rows / 2 + 1;
  for (const ServerView& server : servers) {
    if (row >= frame.rows - 1) break;
    std::string line(server.name);
    line.append(": ").append(failing_reason(*server.shown));
    show_reason_line(frame, line, row++);
  }
}

}  // namespace

void lay_out_servers(std::span<const ServerView> servers, bool show_reasons, Frame& frame) {
  if (!servers.empty() && std::all_of(servers.begin(), servers.end(), failing)) {
    lay_out_all_failing(servers, show_reasons, frame);
    return;
  }
  ReportWriter writer{&frame};
  for (const ServerView& server : servers) {
    if (!server.shown) continue;
    const Outcome& shown = *server.shown;
    if (shown.banner) {
      // No rows of its own: a failing server's last list may be stale.
      put_line(writer, keep_text(frame, failing_server_header(server.name, shown)), BANNER_ROLE, 0, true);
      if (show_reasons) put_line(writer, keep_text(frame, failing_reason(shown)), TEXT_ROLE, 1, false);
    } else if (!calm(shown)) {
      put_line(writer, keep_text(frame, server_header(server.name)), SERVER_ROLE, 0, true);
      lay_out_report(shown.report, writer);
    }
  }
}
