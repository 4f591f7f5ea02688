#include "layout/server_names_row.h"

#include <string>

#include "layout/cell_width.h"
#include "layout/frame.h"
#include "refresh/outcome.h"

namespace {

ColourRole state_role(const ServerView& server, bool red_screen) {
  if (!server.shown) return NORMAL_ROLE;
  if (!server.shown->banner) return HOST_ROLE;
  return red_screen ? FAILING_SERVER_ALARM_ROLE : BANNER_ROLE;
}

}  // namespace

int put_server_names(Frame& frame, std::span<const ServerView> servers) {
  const int last = frame.rows - 1;
  const bool red_screen = frame.background == ALARM_ROLE;
  int column = 0;
  if (last < 0) return 0;
  for (const ServerView& server : servers) {
    if (column >= frame.columns) break;
    std::string text(" ");
    text.append(server.name).append(" ");
    const ColourRole role = state_role(server, red_screen);
    frame.labels.push_back(
        {last, column, keep_text(frame, text), role, role == FAILING_SERVER_ALARM_ROLE, LabelForm::PLAIN});
    column += cell_width(text);
  }
  return column < frame.columns ? column : frame.columns;
}
