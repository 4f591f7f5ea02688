#pragma once
#include <vector>

#include "report/page_check.h"
#include "report/problem_lines.h"
#include "report/report.h"

struct ExcludeList;
struct Frame;
struct Program;

struct ReceiveBuffer;

// What a transfer that arrived holds, read as a refresh reads it: the problem
// lines, the page check's verdict and, when that is STATUS_PAGE, the report.
// Lines and names are views into body.
struct Answer {
  std::vector<ProblemLine> lines;
  PageVerdict verdict = PageVerdict::NO_CARD;
  Report report;
};
Answer read_answer(const ReceiveBuffer& body, const ExcludeList& excludes, bool newcgi);

// Lays out what a transfer that arrived shows: the report when the answer is
// the server's list of problems, the banner otherwise. Returns how many names
// could not be read.
int lay_out_answer(const ReceiveBuffer& body, const ExcludeList& excludes, bool newcgi, Frame& frame);

// Says "No match!" once for each name that could not be read.
void print_no_match(int count);

// One pass of the refresh loop: clear, set up colours, fetch, draw, show,
// sleep. Returns false when the terminal has no colours.
bool run_cycle(Program& program);
