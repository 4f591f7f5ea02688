#pragma once
// What the screen shows of a server after a refresh: its report, or a banner
// and why. The layout needs this and nothing of the transfer that gave it.
#include <ctime>
#include <string>
#include <string_view>

#include "report/report.h"

// The banner of a refresh that gave no report, unless its outcome names
// another: the wall shows it, and orvek -t says that the wall would.
inline constexpr std::string_view NO_CONNECTION_TEXT = " No connection to server! ";

// The wall keeps it so that a resize lays it out again without a fetch; the
// report's names are views into the receive buffer it was read from.
struct Outcome {
  bool banner = true;
  Report report;
  std::time_t fetched_at = 0;  // when the fetch it comes from ended (-u shows it)
  std::string banner_text;     // a banner of its own; NO_CONNECTION_TEXT when empty
  // With a banner: why, in a few words, and the end of the first failed
  // fetch of this run of failures (-u shows both under the banner).
  std::string reason;
  std::time_t failing_since = 0;
  std::time_t cause_since = 0;  // the end of the first fetch of this run that gave this reason
  // With a report whose details the JSON status was asked for and did not
  // give (every age "?"): why, in a few words (-u shows it in the last row).
  std::string details_problem;
};
