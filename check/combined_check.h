#pragma once
// orvek -t with several servers: the reports of each server told as one
// check, a first line for all and a block for each.
#include <span>
#include <string>
#include <string_view>

#include "check/check_from_shell.h"

// One server's report, under its section's name.
struct NamedCheck {
  std::string_view name;
  CheckReport report;
};

// The worse of two exit statuses: CRITICAL, then UNKNOWN, then WARNING,
// then OK. A wall that would show a banner weighs more than a check that
// could not finish, which is not known to fail.
int worse_status(int a, int b);

// The summary of a report's first line: what follows "ORVEK WORD - ".
std::string_view check_summary(const CheckReport& report);

// The performance data of one server, each label prefixed with its name:
// "time=0.012s size=5B" of "lab" is "'lab::time'=0.012s 'lab::size'=5B".
std::string named_perfdata(std::string_view name, std::string_view perfdata);

// The servers' reports as one, in the order given: its status the worst;
// its first line each server not OK with its cause, the worst first
// ("gone: connection refused, locked: HTTP status 401 (Unauthorized)"),
// then "; N of M servers OK"; the performance data of each, named; then
// each report under a line "server NAME:". The summary keeps to the first
// line's bound: the causes are cut to one length first, then the last
// ones dropped, then the last names told as "+N more". The performance
// data that does not fit the first line after it goes to more_perfdata.
CheckReport combine_checks(std::span<const NamedCheck> checks);
