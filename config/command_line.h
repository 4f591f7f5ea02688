#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// The default of -d: well inside the 60 s a monitoring server gives a
// check command before it kills it.
inline constexpr std::uint32_t CHECK_DEADLINE_SECONDS = 30;
// The longest deadline -d takes.
inline constexpr std::uint32_t CHECK_DEADLINE_LIMIT = 3600;

// What the command line asks for. The paths point into argv itself.
struct Options {
  const char* config_path = nullptr;   // -c
  const char* exclude_path = nullptr;  // -e
  std::uint32_t refresh_interval = 10; // -s, seconds
  const char* interval_text = nullptr; // -s as written, for -t to tell how it was read
  bool show_hidden = false;            // -m: say how many labels did not fit
  bool show_clock = false;             // -u: the time of the fetch shown, in the last row
  bool check = false;                  // -t: one fetch, explained on standard output
  // -d: with -t, the seconds all of its transfers together may take.
  std::uint32_t check_deadline = CHECK_DEADLINE_SECONDS;
  bool warnings_count = false;         // -W: with -t, a warning of exposure gives WARNING
  const char* server_name = nullptr;   // -S: with -t, the one server of that name checked
  // The first option not taken (unknown, without its value, or a -d that
  // is no number of seconds): "unknown option -x". A check from the shell
  // ends UNKNOWN on it; the monitor goes on as getopt left it.
  std::string fault;
  bool show_version = false;           // -V
  bool show_help = false;              // -h
};

// Reads -c, -e, -s, -m, -u, -t, -d, -S, -W, -V and -h up to the first operand
// or "--". Unknown options and options without their argument are reported
// by getopt (except with -t, which reports them itself) and otherwise
// ignored; a repeated option overrides the earlier one.
Options read_command_line(int argc, char* argv[]);

// "orvek <version>\n", the version the build names.
std::string_view version_text();

// The synopsis and one line per option, for -h.
std::string_view usage_text();
