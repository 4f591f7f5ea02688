#pragma once
// The state both views share, built once in main and handed to what needs
// it: the command line, the configuration and exclude list read at start,
// and the buffer each transfer receives its page into. The wall keeps what
// it shows in a state of its own around this one.
#include "config/command_line.h"
#include "config/config_file.h"
#include "config/exclude_list.h"
#include "fetch/status_fetch.h"

struct Program {
  Options options;       // the command line, read once
  Settings settings;     // orvek.conf, read once at start
  ExcludeList excludes;  // the -e file, read once at start
  ReceiveBuffer body;    // the page of the last transfer, allocated once
};
