#pragma once
#include <cstdint>

// What the command line asks for. The paths point into argv itself.
struct Options {
  const char* config_path = nullptr;   // -c
  const char* exclude_path = nullptr;  // -e
  std::uint32_t refresh_interval = 10; // -s, seconds
  bool show_hidden = false;            // -m: say how many labels did not fit
};

// Reads -c, -e, -m and -s up to the first operand or "--". Unknown options and
// options without their argument are reported by getopt and otherwise ignored;
// a repeated option overrides the earlier one.
Options read_command_line(int argc, char* argv[]);
