#pragma once
// The wall of several servers, each fetched on its own cycle of the
// interval, so that a server that hangs or is slow never holds back the
// refresh of another; the screen follows whichever server's record changes.
#include <string>
#include <vector>

#include "app/refresh_cycle.h"
#include "refresh/program.h"

struct SignalFlags;

// A server of the wall: its section's name and the state of its refresh.
struct WallServer {
  std::string name;
  Program program;
};

// Shows the servers, in their order, until a signal asks to end or the
// terminal goes away (STOPPED), or at once when the terminal has no colours
// (NO_COLOURS). Call with curses started and libcurl initialised. Fetching
// threads may still be in a transfer when it returns STOPPED: the caller
// ends the process without waiting for them.
CycleEnd run_servers(std::vector<WallServer>& servers, SignalFlags& signals);
