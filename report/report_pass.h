#pragma once
#include <vector>

#include "report/problem_lines.h"
#include "report/screen_writer.h"

struct ExcludeList;

// Lays the problem lines out as the report: DOWN and UNREACHABLE hosts as
// single labels (and the red background), every other host with service
// problems as a host label followed by one status row per problem service
// found anywhere in the table; excluded hosts and services left out.
void render_problems(const std::vector<ProblemLine>& problem_lines, const ExcludeList& excludes,
                     bool newcgi, Frame& frame);
