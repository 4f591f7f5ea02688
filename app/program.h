#pragma once
// The one state of the running monitor, built in main and handed to what
// needs it.
#include "app/command_line.h"
#include "config/config_file.h"
#include "config/exclude_list.h"
#include "fetch/status_fetch.h"

struct Program {
  Options options;       // the command line, read once
  Settings settings;     // orvek.conf, read once at start
  ExcludeList excludes;  // the -e file, read once at start
  ReceiveBuffer body;    // the page of the last transfer, allocated once
};
