#pragma once
// The screen of several servers: each server's problems under a header of
// its own, one server after another down the report's columns, as one
// server's report runs.
#include <span>

#include "layout/frame_composition.h"

struct Frame;

// Lays out the servers in their order: a server with problems under its
// name's header (white on blue), a failing one as its header alone in the
// banner's words (white on red) and with show_reasons the reason under it;
// a calm server, or one that has not answered, takes no room. Headers take
// rows as host labels do, and like green host labels -m does not count
// them: they name no problem of their own. When every server fails: the
// whole screen's banner and with show_reasons each server's reason under it,
// one a row, as many as fit above the last row.
void lay_out_servers(std::span<const ServerView> servers, bool show_reasons, Frame& frame);
