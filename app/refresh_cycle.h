#pragma once
#include <string_view>

struct ExcludeList;
struct Frame;
struct Program;

// Everything a successful cycle lays out after the transfer: the problem
// lines of body as the report, into frame. Returns how many names could not
// be read (each one "No match!").
int lay_out_page(std::string_view body, const ExcludeList& excludes, bool newcgi, Frame& frame);

// Says "No match!" once for each name that could not be read.
void print_no_match(int count);

// One pass of the refresh loop: clear, set up colours, fetch, draw, show,
// sleep. Returns false when the terminal has no colours.
bool run_cycle(Program& program);
