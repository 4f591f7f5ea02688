#pragma once
// The one state of the running monitor, built in main and handed to what
// needs it.
#include <ctime>
#include <string>

#include "app/command_line.h"
#include "app/signals.h"
#include "config/config_file.h"
#include "config/exclude_list.h"
#include "fetch/status_fetch.h"
#include "report/report.h"

// What the screen shows: the report of the last page, or the banner. Kept
// so that a resize lays it out again without a fetch; the report's names are
// views into the receive buffer it was read from, good until the transfer
// after next (the refresh cycle fetches into the other buffer).
struct Outcome {
  bool banner = true;
  Report report;
  std::time_t fetched_at = 0;  // when the fetch it comes from ended (-u shows it)
  std::string banner_text;     // a banner of its own; " No connection to server! " when empty
  // With a banner: why, in a few words, and the end of the first failed
  // fetch of this run of failures (-u shows both under the banner).
  std::string reason;
  std::time_t failing_since = 0;
  std::time_t cause_since = 0;  // the end of the first fetch of this run that gave this reason
};

struct Program {
  Options options;       // the command line, read once
  Settings settings;     // orvek.conf, read once at start
  ExcludeList excludes;  // the -e file, read once at start
  ReceiveBuffer body;    // the page of the last transfer, allocated once
  // The page shown is kept apart from the one being fetched and read, so
  // that what is shown can be laid out again for a resize at any time.
  ReceiveBuffer shown_body;
  Outcome shown;         // what the last transfer gave
  SignalFlags signals;   // set by the signal handlers
};
