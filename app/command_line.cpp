#include "app/command_line.h"

#include <cstdlib>
#include <unistd.h>

Options read_command_line(int argc, char* argv[]) {
  Options result;
#if defined(__GLIBC__)
  // "+" stops glibc from permuting argv, so reading ends at the first operand
  // as it does with a POSIX getopt; optind 0 makes getopt start afresh.
  const char* const option_string = "+c:e:ms:";
  optind = 0;
#else
  const char* const option_string = "c:e:ms:";
  optreset = 1;
  optind = 1;
#endif
  int option;
  while ((option = getopt(argc, argv, option_string)) != -1) {
    switch (option) {
      case 'c': result.config_path = optarg; break;
      case 'e': result.exclude_path = optarg; break;
      case 'm': result.show_hidden = true; break;
      // Base 0: "0x1e" is 30, "010" is 8; trailing text is ignored and a
      // negative or oversized number keeps its low 32 bits.
      case 's': result.refresh_interval = static_cast<std::uint32_t>(std::strtoul(optarg, nullptr, 0)); break;
      default: break;
    }
  }
  return result;
}
