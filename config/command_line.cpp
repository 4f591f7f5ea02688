#include "config/command_line.h"

#include <cstdlib>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

// -d's value: a whole number of seconds from 1 to CHECK_DEADLINE_LIMIT,
// digits only; nothing for anything else.
std::optional<std::uint32_t> deadline_seconds(const char* text) {
  std::uint32_t seconds = 0;
  if (!*text) return std::nullopt;
  for (const char* c = text; *c; ++c) {
    if (*c < '0' || *c > '9') return std::nullopt;
    seconds = seconds * 10 + static_cast<std::uint32_t>(*c - '0');
    if (seconds > CHECK_DEADLINE_LIMIT) return std::nullopt;
  }
  if (seconds == 0) return std::nullopt;
  return seconds;
}

// One reading of the command line; getopt's own diagnostics only when loud.
Options read_options(int argc, char* argv[], bool loud) {
  Options result;
  // A leading ':' (after glibc's '+') has getopt tell a missing value from
  // an unknown option, and print nothing.
#if defined(__GLIBC__)
  // "+" stops glibc from permuting argv, so reading ends at the first operand
  // as it does with a POSIX getopt; optind 0 makes getopt start afresh.
  const char* const option_string = loud ? "+c:e:s:d:S:mutWVh" : "+:c:e:s:d:S:mutWVh";
  optind = 0;
#else
  const char* const option_string = loud ? "c:e:s:d:S:mutWVh" : ":c:e:s:d:S:mutWVh";
  optreset = 1;
  optind = 1;
#endif
  opterr = loud ? 1 : 0;
  auto fault = [&result](std::string what) {
    if (result.fault.empty()) result.fault = std::move(what);
  };
  int option;
  while ((option = getopt(argc, argv, option_string)) != -1) {
    switch (option) {
      case 'c': result.config_path = optarg; break;
      case 'e': result.exclude_path = optarg; break;
      // Base 0: "0x1e" is 30, "010" is 8; trailing text is ignored and a
      // negative or oversized number keeps its low 32 bits.
      case 's':
        result.refresh_interval = static_cast<std::uint32_t>(std::strtoul(optarg, nullptr, 0));
        result.interval_text = optarg;
        break;
      case 'd':
        if (const std::optional<std::uint32_t> seconds = deadline_seconds(optarg))
          result.check_deadline = *seconds;
        else
          fault("the deadline of -d must be a whole number of seconds from 1 to " +
                std::to_string(CHECK_DEADLINE_LIMIT) + ", not \"" + optarg + "\"");
        break;
      case 'S': result.server_name = optarg; break;
      case 'm': result.show_hidden = true; break;
      case 'u': result.show_clock = true; break;
      case 't': result.check = true; break;
      case 'W': result.warnings_count = true; break;
      case 'V': result.show_version = true; break;
      case 'h': result.show_help = true; break;
      case ':': fault(std::string("option -") + static_cast<char>(optopt) + " without its value"); break;
      default: fault(std::string("unknown option -") + static_cast<char>(optopt)); break;
    }
  }
  return result;
}

}  // namespace

Options read_command_line(int argc, char* argv[]) {
  // Without -t, getopt tells of what it did not take, as it always has; a
  // check from the shell tells it in its own first line instead. Whether
  // -t is there is known only once the whole line is read.
  const Options quiet = read_options(argc, argv, false);
  return quiet.check ? quiet : read_options(argc, argv, true);
}

std::string_view version_text() { return "orvek " ORVEK_VERSION "\n"; }

std::string_view usage_text() {
  return "usage: orvek [-c config_file] [-e exclude_file] [-s seconds] [-m] [-u] "
         "[-t [-d seconds] [-S name] [-W]] [-V] [-h]\n"
         "  -c config_file   the configuration (default: the first orvek.conf in\n"
         "                   ./, /etc/, /usr/local/etc/)\n"
         "  -e exclude_file  hide the hosts and services this file names\n"
         "  -s seconds       seconds between refreshes (default 10)\n"
         "  -m               say how many labels did not fit on the screen\n"
         "  -u               end the last row with the time of the last fetch\n"
         "  -t               fetch once, explain what the monitor would show, and exit:\n"
         "                   0 for the report, 1 for the report with a warning,\n"
         "                   2 for the banner, 3 when the check cannot be made\n"
         "  -d seconds       with -t: the time all of its transfers together may take\n"
         "                   (default 30)\n"
         "  -S name          with -t: check only the server of that name (ignored\n"
         "                   without -t)\n"
         "  -W               with -t: a warning of exposure (password readable by\n"
         "                   others, Basic over plain http, certificate not verified)\n"
         "                   gives status 1\n"
         "  -V               print the version and exit\n"
         "  -h               print this help and exit\n";
}
