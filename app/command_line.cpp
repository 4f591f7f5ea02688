#include "app/command_line.h"

#include <cstdlib>
#include <unistd.h>

Options read_command_line(int argc, char* argv[]) {
  Options result;
#if defined(__GLIBC__)
  // "+" stops glibc from permuting argv, so reading ends at the first operand
  // as it does with a POSIX getopt; optind 0 makes getopt start afresh.
  const char* const option_string = "+c:e:s:mutVh";
  optind = 0;
#else
  const char* const option_string = "c:e:s:mutVh";
  optreset = 1;
  optind = 1;
#endif
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
      case 'm': result.show_hidden = true; break;
      case 'u': result.show_clock = true; break;
      case 't': result.check = true; break;
      case 'V': result.show_version = true; break;
      case 'h': result.show_help = true; break;
      default: break;
    }
  }
  return result;
}

std::string_view version_text() { return "orvek " ORVEK_VERSION "\n"; }

std::string_view usage_text() {
  return "usage: orvek [-c config_file] [-e exclude_file] [-s seconds] [-m] [-u] [-t] [-V] [-h]\n"
         "  -c config_file   the configuration (default: the first orvek.conf in\n"
         "                   ./, /etc/, /usr/local/etc/)\n"
         "  -e exclude_file  hide the hosts and services this file names\n"
         "  -s seconds       seconds between refreshes (default 10)\n"
         "  -m               say how many labels did not fit on the screen\n"
         "  -u               end the last row with the time of the last fetch\n"
         "  -t               fetch once, explain what the monitor would show, and exit:\n"
         "                   0 for the report, 1 for the banner\n"
         "  -V               print the version and exit\n"
         "  -h               print this help and exit\n";
}
