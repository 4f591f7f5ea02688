#pragma once
// The screen of several servers: each server's problems under a header of
// its own, one server after another down the report's columns, as one
// server's report runs.
#include <span>

#include "layout/frame_composition.h"

struct Frame;

// What the last row holds besides the servers' lines: notes sure to be
// there (-u's names and clock, the unread rows), or -m's count, there only
// when something is hidden.
struct LastRowUse {
  bool noted = false;
  bool counted = false;
};

// Lays out the servers: first each failing one as its header alone in the
// banner's words (white on red; black on white while the screen is red) and
// with show_reasons the reason under it, so that no other server's problems
// push it out of sight; then, in their order, each server with problems
// under its name's header (white on blue). A calm server, or one that has
// not answered, takes no room, unless its own exclude file could not be
// used: its header then says so. Headers take rows as host labels do, and
// like green host labels -m does not count them, but for a failing server's
// header that does not show. A header never ends a column, and a server's
// lines going on in the next column stand under its header again.
// When the last row holds notes, nothing is laid out in it: the columns end
// one row higher. When every server fails: the whole screen's banner when
// their banners' words agree, with show_reasons each server's reason under
// it, one a row, as many as fit above the last row; otherwise each server's
// own words on a centred line of its own (with show_reasons its reason
// under it), as many as fit, then " +N more ".
void lay_out_servers(std::span<const ServerView> servers, bool show_reasons, LastRowUse last_row, Frame& frame);
