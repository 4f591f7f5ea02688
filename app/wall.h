#pragma once
// The wall's own state around the program's: what it shows, kept so that a
// resize lays it out again at any time, and the flags its signal handlers
// set. Built in main after the program state, handed to the refresh cycle.
#include <ctime>

#include "app/signals.h"
#include "refresh/program.h"
#include "refresh/refresh_record.h"

struct Wall {
  Program& program;
  // The page shown is kept apart from the one being fetched and read (the
  // program's body), so that what is shown can be laid out again for a
  // resize at any time; the report's names point into it.
  ReceiveBuffer shown_body;
  Outcome shown;          // what the last transfer gave
  SignalFlags signals;    // set by the signal handlers
  std::time_t waiting_since = 0;  // when the wait for the first answer began
};
