#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <curses.h>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "check/check_servers.h"
#include "app/refresh_cycle.h"
#include "app/wall.h"
#include "refresh/program.h"
#include "config/config_diagnosis.h"

int main(int argc, char* argv[]) {
  Program program;
  program.options = read_command_line(argc, argv);
  if (program.options.show_help) {
    std::fputs(usage_text().data(), stdout);
    return 0;
  }
  if (program.options.show_version) {
    std::fputs(version_text().data(), stdout);
    return 0;
  }
  // A check from the shell ends as a check plugin does whatever stops it:
  // UNKNOWN, status 3, and why in its first line.
  if (program.options.check && !program.options.fault.empty())
    return write_check(unfinished_check(program.options.fault));
  if (program.options.check) return check_configured(program);
  std::string config_file;
  std::optional<Settings> settings = find_config_file(program.options.config_path, config_search_directories(),
                                                      &config_file);
  if (!settings) {
    std::puts(CONFIG_NOT_FOUND.data());
    return 2;
  }
  program.settings = std::move(*settings);
  program.excludes = load_exclude_list(program.options.exclude_path);
  program.body = make_receive_buffer();
  Wall wall{program, make_receive_buffer(), {}, {}};
  // The terminal's character set, so that curses shows names in UTF-8 as
  // letters instead of blanks. Nothing else reads the locale: case is folded
  // for ASCII letters only, by our own code.
  std::setlocale(LC_CTYPE, "");
  // Before initscr, which then leaves these signals to us.
  catch_signals(wall.signals);
  initscr();
  CycleEnd end;
  while ((end = run_cycle(wall)) == CycleEnd::GO_ON) {
  }
  endwin();
  // Ended by a signal, or by the terminal going away: status 1, as curses'
  // own handler ended it, and, as then, without writing out what standard
  // output still holds.
  if (end == CycleEnd::STOPPED) std::_Exit(1);
  std::puts("Your terminal does not support color");
  return 1;
}
