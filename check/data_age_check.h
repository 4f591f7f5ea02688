#pragma once
// What orvek -t says of the JSON status CGI's answer: the age of the
// server's status data (maxage), the monitoring program's start, the hosts
// the user may see, whether the report would show, and why not.
#include <optional>
#include <string>
#include <vector>

#include "check/check_line.h"

struct DataAgeFetch;
struct Settings;

struct DataAgeExplained {
  std::vector<CheckLine> lines;  // values not yet masked
  std::optional<std::string> banner;  // the banner shown in place of the report
  std::string why;                    // why that banner
  // Why a drawn report would still mean nothing, where no banner says so
  // (a user who may see no host, without maxage); empty otherwise.
  std::string meaningless;
  // With maxage: why the JSON answer's count of the hosts the user may see
  // cannot be read (only a count read as 0 gives the banner); empty otherwise.
  std::string hosts_unread;
};

// fetched: the JSON CGI's answer, asked for once whenever the server
// answered the list; nothing otherwise. drawn: the monitor would draw the
// list (only then would it ask for the age). Without a maxage line nothing
// is said of the age; the hosts the user may see are named whenever the
// JSON CGI gave its answer, and never when the server has no such CGI;
// user_hidden: the user name is not shown there ("the user" instead).
DataAgeExplained explain_data_age(const Settings& settings, const DataAgeFetch* fetched, bool drawn,
                                  bool user_hidden = false);
