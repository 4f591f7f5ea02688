#pragma once
#include <vector>

#include "report/problem_lines.h"
#include "report/screen_writer.h"

struct ExcludeList;

// The same frame as render_problems, drawn the slow, obvious way.
void reference_render_problems(const std::vector<ProblemLine>& problem_lines, const ExcludeList& excludes,
                               bool newcgi, Frame& frame);
