#include <clocale>
#include <cstdio>
#include <curses.h>

#include "app/command_line.h"
#include "app/refresh_cycle.h"
#include "config/config_file.h"
#include "config/exclude_list.h"

int main(int argc, char* argv[]) {
  options = read_command_line(argc, argv);
  find_config_file(options.config_path);
  exclude_list = load_exclude_list(options.exclude_path);
  // The terminal's character set, so that curses shows names in UTF-8 as
  // letters instead of blanks. Nothing else reads the locale: case is folded
  // for ASCII letters only, by our own code.
  std::setlocale(LC_CTYPE, "");
  initscr();
  while (run_cycle()) {
  }
  endwin();
  std::puts("Your terminal does not support color");
  return 1;
}
