#pragma once
#include <vector>

#include "report/line_names.h"
#include "report/problem_lines.h"
#include "report/report.h"

struct ExcludeList;

// The same report as render_problems, made the slow, obvious way.
Report reference_render_problems(const std::vector<ProblemLine>& problem_lines, const std::vector<LineNames>& names,
                                 const ExcludeList& excludes);
