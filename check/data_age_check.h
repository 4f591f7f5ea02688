#pragma once
// What orvek -t says of the age of the server's status data (maxage): the
// age, the monitoring program's start, whether the report would show, and
// why not.
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct DataAgeFetch;
struct Settings;

struct DataAgeExplained {
  std::vector<std::pair<std::string, std::string>> lines;  // key, value; values not yet masked
  std::optional<std::string> banner;  // the banner shown in place of the report
  std::string why;                    // why that banner
};

// fetched: the JSON CGI's answer, asked for only when settings.max_age is set
// and the list would be drawn; nothing otherwise. Without a maxage line,
// nothing is said.
DataAgeExplained explain_data_age(const Settings& settings, const DataAgeFetch* fetched);
