#include "layout/server_names_row.h"

#include <string>

#include "layout/frame.h"
#include "layout/server_header.h"
#include "refresh/outcome.h"

namespace {

ColourRole state_role(const ServerView& server) {
  if (!server.shown) return NORMAL_ROLE;
  return server.shown->banner ? BANNER_ROLE : HOST_ROLE;
}

}  // namespace

int put_server_names(Frame& frame, std::span<const ServerView> servers) {
  const int last = frame.rows - 1;
  int column = 0;
  if (last < 0) return 0;
  for (const ServerView& server : servers) {
    if (column >= frame.columns) break;
    std::string text(" ");
    text.append(server.name).append(" ");
    frame.labels.push_back({last, column, keep_text(frame, text), state_role(server), false, LabelForm::PLAIN});
    column += characters(text);
  }
  return column < frame.columns ? column : frame.columns;
}
