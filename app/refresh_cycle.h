#pragma once

struct Wall;

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
CycleEnd run_cycle(Wall& wall);
