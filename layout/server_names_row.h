#pragma once
// With -u and several servers, the last row's start tells each server's
// state: a wall that looks calm says which servers it hears.
#include <span>

#include "layout/frame_composition.h"

struct Frame;

// " NAME " of each server in turn from the last row's left edge: black on
// green when its last fetch gave its list, white on red when it failed
// (on the red screen black on white, bold, as its header), white on black
// while it has not answered yet; what does not fit is left out. Lay it
// after the servers, whose lists decide the screen's colour. Returns the
// cells they cover.
int put_server_names(Frame& frame, std::span<const ServerView> servers);
