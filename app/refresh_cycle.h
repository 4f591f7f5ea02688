#pragma once

struct ExcludeList;
struct Frame;
struct Outcome;
struct Program;
struct ReceiveBuffer;

// Lays out what is shown: the report, or the banner.
void lay_out_outcome(const Outcome& shown, Frame& frame);

// The page in body read as a refresh reads it, and laid out as the screen
// shows it: the frame the refresh cycle, the frame benchmark and the frame
// fuzz target all compose. Returns how many problem lines yield no name.
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
