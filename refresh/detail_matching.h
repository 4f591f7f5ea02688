#pragma once
// Each problem of the list takes its details from the JSON status's entry
// of exactly the same names: the list names the problems, the JSON status
// only adds to them. A name the CGI wrote as "(null)" (any name holding a
// character outside ASCII) or that two entries share gives no details: its
// problem is still drawn, from the list, its age unknown.
#include <string>
#include <vector>

#include "fetch/status_details.h"
#include "report/report.h"

struct Settings;

// A problem of the list as the JSON status told of it, for orvek -t.
struct DetailedProblem {
  std::string name;   // "host" or "host/service", as the list names it
  bool matched = false;
  std::string why;    // unmatched: why
  ItemDetail detail;  // its output a view into the report's details
  bool soft = false;
  bool hidden = false;  // soft hide took it out
  bool outside_group = false;  // not of the section's group: not drawn
  bool maybe_in_group = false;  // drawn as it may be an entry the CGI wrote as (null)
};

// Gives report.details one entry for each item (ages, attempts, outputs from
// details, when it was read whole), then with soft hide takes the SOFT
// problems out (a host label left with no service under it goes too) and
// decides the alarm again. With a group set, only the problems the group's
// answers hold stay (by exact names, or an entry written "(null)" that may
// be it: never hidden on a guess); a DOWN or UNREACHABLE host with a service
// group set also needs one of its services in the group. Then too the alarm
// is decided again: unread_alarm is that of the unread rows, which
// stay. Returns every problem (hosts DOWN or UNREACHABLE, services), in the
// list's order, with what it took.
std::vector<DetailedProblem> add_details(Report& report, const StatusDetails& details, const Settings& settings,
                                          bool unread_alarm);
