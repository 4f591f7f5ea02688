#pragma once
// The names a problem line yields, read once for the whole report.
//
// A row in the status CGI's form comes with its names solved (cgi_row.h).
// Another row names its host in its host postfield element and its service in its
// service postfield element, or, where an element is missing, in its name
// cell ("HOST" or "HOST/SERVICE"); a row without a host names nothing. Any other line is read by the extraction
// patterns, and where a pattern finds nothing, by its last table cell in the
// same way. Names read from cells or rows are whole names, compared exactly;
// names read by the patterns keep the patterns' rules (a host's service lines
// are those holding "value='<host>'/>", a host inside a DOWN host's name is
// silenced with it).
#include <string_view>
#include <vector>

#include "report/problem_lines.h"

struct LineNames {
  std::string_view host;      // empty when it cannot be read
  std::string_view service;   // lines with a service token only; empty when it cannot be read
  bool host_read = false;
  bool service_read = false;
  bool whole = false;         // the host was read from the row or a cell: compared whole and exactly
  bool any() const { return host_read || service_read; }
};

LineNames read_line_names(const ProblemLine& line, bool newcgi);

// read_line_names for every line, in order.
std::vector<LineNames> read_names(const std::vector<ProblemLine>& lines, bool newcgi);
