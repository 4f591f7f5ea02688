#pragma once
#include <vector>

#include "common/stop_flag.h"
#include "report/line_names.h"
#include "report/problem_lines.h"
#include "report/report.h"

struct ExcludeList;

// Turns the problem lines into the report: DOWN and UNREACHABLE hosts as
// single items (and the alarm), every other host with service problems as a
// host item followed by one item per problem service found anywhere in the
// table; excluded hosts and services left out. names[i] are the names of
// problem_lines[i] (read_names). Counts the lines that yield no name.
// When *stop turns non-zero the pass ends early: the report is then
// unfinished, and the caller, seeing the flag, must not show it.
Report render_problems(const std::vector<ProblemLine>& problem_lines, const std::vector<LineNames>& names,
                       const ExcludeList& excludes, StopFlag stop = nullptr);

// The status a service problem line's tokens give: WARNING before CRITICAL
// before UNKNOWN, as the report shows it.
ServiceStatus service_status(unsigned tokens);
