#pragma once
// The servers a read configuration names, each ready to be refreshed: its
// name, settings and exclude list. The wall and orvek -t both take their
// servers from here.
#include <memory>
#include <string>
#include <vector>

#include "config/config_file.h"
#include "config/exclude_list.h"

struct ServersConfig;

struct Server {
  std::string name;   // its section's; empty for a file without sections
  Settings settings;  // its own values, the defaults' for the keys it does not set
  // The -e file's list, read once and shared by every server; a section's
  // own exclude file on top of it.
  std::shared_ptr<const ExcludeList> excludes;
  std::string exclude_path;  // its section's own exclude file; empty: none
  // That file could not serve as meant (unreadable, no regular file, an
  // empty line hiding every service): the wall marks the server's header,
  // orvek -t says why.
  bool exclude_fault = false;
};

// The servers of config, in its order; exclude_path is -e's file (null:
// none), read once whatever the number of servers, and each section's own
// exclude file read once.
std::vector<Server> server_list(const ServersConfig& config, const char* exclude_path);
