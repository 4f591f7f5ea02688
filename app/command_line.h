#pragma once
#include <cstdint>
#include <string_view>

// What the command line asks for. The paths point into argv itself.
struct Options {
  const char* config_path = nullptr;   // -c
  const char* exclude_path = nullptr;  // -e
  std::uint32_t refresh_interval = 10; // -s, seconds
  const char* interval_text = nullptr; // -s as written, for -t to tell how it was read
  bool show_hidden = false;            // -m: say how many labels did not fit
  bool show_clock = false;             // -u: the time of the fetch shown, in the last row
  bool check = false;                  // -t: one fetch, explained on standard output
  bool show_version = false;           // -V
  bool show_help = false;              // -h
};

// Reads -c, -e, -s, -m, -u, -t, -V and -h up to the first operand or "--".
// Unknown options and options without their argument are reported by getopt
// and otherwise ignored; a repeated option overrides the earlier one.
Options read_command_line(int argc, char* argv[]);

// "orvek <version>\n", the version the build names.
std::string_view version_text();

// The synopsis and one line per option, for -h.
std::string_view usage_text();
