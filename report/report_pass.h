#pragma once
#include <vector>

#include "report/problem_lines.h"
#include "report/report.h"

struct ExcludeList;

// Turns the problem lines into the report: DOWN and UNREACHABLE hosts as
// single items (and the alarm), every other host with service problems as a
// host item followed by one item per problem service found anywhere in the
// table; excluded hosts and services left out. Counts the names that could
// not be read.
Report render_problems(const std::vector<ProblemLine>& problem_lines, const ExcludeList& excludes, bool newcgi);
