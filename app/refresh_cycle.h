#pragma once
#include <vector>

#include "report/line_names.h"
#include "report/page_check.h"
#include "report/problem_lines.h"
#include "report/report.h"

struct ExcludeList;
struct Frame;
struct Outcome;
struct Program;

struct ReceiveBuffer;

// What a transfer that arrived holds, read as a refresh reads it: the problem
// lines, their names, the page check's verdict and, when that is
// STATUS_PAGE, the report. Lines and names are views into body.
struct Answer {
  std::vector<ProblemLine> lines;
  std::vector<LineNames> names;
  PageVerdict verdict = PageVerdict::NO_CARD;
  Report report;
  bool unread_status_cell = false;  // a status cell that gave no problem (problem_lines.h)
};
Answer read_answer(const ReceiveBuffer& body, const ExcludeList& excludes, bool newcgi);

// What the screen shows of an answer: the report when it is the server's
// list of problems, the banner otherwise.
Outcome outcome_of(Answer answer);

// Lays out what is shown: the report, or the banner.
void lay_out_outcome(const Outcome& shown, Frame& frame);

// read_answer, outcome_of and lay_out_outcome in one. Returns how many
// problem lines yield no name.
int lay_out_answer(const ReceiveBuffer& body, const ExcludeList& excludes, bool newcgi, Frame& frame);

// Says "No match!" once for each problem line that yields no name.
void print_no_match(int count);

enum class CycleEnd {
  GO_ON,
  NO_COLOURS,  // the terminal has no colours
  STOPPED,     // a signal asked to end, or the terminal is gone
};

// One pass of the refresh loop: clear, set up colours, fetch, draw, show,
// then wait for the next pass, drawing what is shown again at each new size
// of the terminal.
CycleEnd run_cycle(Program& program);
