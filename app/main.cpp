#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <curl/curl.h>
#include <curses.h>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "app/signals.h"
#include "app/wall_loop.h"
#include "check/check_servers.h"
#include "config/command_line.h"
#include "config/config_diagnosis.h"
#include "config/server_list.h"
#include "config/server_sections.h"

namespace {

// How long the end waits for the workers to return: long enough for all but
// one inside a transfer's step, short enough that a stop never lingers.
constexpr std::chrono::milliseconds WORKERS_GRACE{200};

// The one clear line any failure ends the program with: status 2.
[[noreturn]] void fail(const std::string& why) {
  std::fprintf(stderr, "orvek: %s\n", why.c_str());
  std::_Exit(2);
}

// Runs the wall until a signal or the terminal's going ends it: status 1
// then, as curses' own handler ended it, and, as then, without writing out
// what standard output still holds. The process ends here, without
// destroying the wall, whatever a worker is still doing: nothing a running
// thread uses is ever freed under it.
int run_on_screen(Wall& wall) {
  // The terminal's character set, so that curses shows names in UTF-8 as
  // letters instead of blanks. Nothing else reads the locale: case is folded
  // for ASCII letters only, by our own code.
  std::setlocale(LC_CTYPE, "");
  initscr();
  std::string failure;
  WallEnd end = WallEnd::STOPPED;
  try {
    end = run_wall(wall);
  } catch (const std::bad_alloc&) {
    failure = "out of memory";
  } catch (const std::exception& error) {
    failure = error.what();
  }
  endwin();
  stop_workers(wall, WORKERS_GRACE);
  if (!failure.empty()) fail(failure);
  if (end == WallEnd::STOPPED) std::_Exit(1);
  std::puts("Your terminal does not support color");
  return 1;
}

int run(int argc, char* argv[]) {
  const Options options = read_command_line(argc, argv);
  if (options.show_help) {
    std::fputs(usage_text().data(), stdout);
    return 0;
  }
  if (options.show_version) {
    std::fputs(version_text().data(), stdout);
    return 0;
  }
  // Before any thread: every thread inherits it, and libcurl's own set-up is
  // not safe to race.
  ignore_broken_pipes();
  curl_global_init(CURL_GLOBAL_DEFAULT);
  // A check from the shell ends as a check plugin does whatever stops it:
  // UNKNOWN, status 3, and why in its first line.
  if (options.check && !options.fault.empty()) return write_check(unfinished_check(options.fault));
  if (options.check) return check_configured(options);
  // As early as the wall can: a stop during a long start-up (large lists,
  // many sections) ends it as one after it does. Before initscr, which then
  // leaves these signals to us.
  SignalFlags signals;
  if (!catch_signals(signals)) fail("cannot make the pipe that wakes the wall");
  std::optional<ServersConfig> config = find_servers_file(options.config_path, config_search_directories());
  if (!config) {
    std::puts(CONFIG_NOT_FOUND.data());
    return 2;
  }
  // An unusable section header, named with its file and line.
  if (!config->fault.empty()) {
    std::puts(config->fault.c_str());
    return 2;
  }
  const std::vector<Server> servers = server_list(*config, options.exclude_path);
  Wall wall{servers, options, signals, {}, {}};
  return run_on_screen(wall);
}

}  // namespace

int main(int argc, char* argv[]) {
  try {
    return run(argc, argv);
  } catch (const std::bad_alloc&) {
    fail("out of memory");
  } catch (const std::exception& error) {
    fail(error.what());
  }
}
