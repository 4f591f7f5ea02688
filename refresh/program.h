#pragma once
// What orvek -t explains one server with: the command line, the server's
// settings and exclude list, and the buffer its transfer receives the page
// into. The wall keeps no such state: its loop hands each server's settings
// and list to the refresh directly.
#include <memory>

#include "config/command_line.h"
#include "config/config_file.h"
#include "config/exclude_list.h"
#include "fetch/status_fetch.h"

struct Program {
  Options options;    // the command line, read once
  Settings settings;  // the server's, from orvek.conf
  std::shared_ptr<const ExcludeList> excludes = std::make_shared<const ExcludeList>();
  ReceiveBuffer body;  // the page of the transfer, allocated once
};
