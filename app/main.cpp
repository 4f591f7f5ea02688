#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <curl/curl.h>
#include <curses.h>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "check/check_servers.h"
#include "app/refresh_cycle.h"
#include "app/servers_cycle.h"
#include "app/wall.h"
#include "refresh/program.h"
#include "config/config_diagnosis.h"
#include "config/server_sections.h"

namespace {

// Runs the wall until a signal or the terminal's going ends it: status 1
// then, as curses' own handler ended it, and, as then, without writing out
// what standard output still holds.
template <typename Run>
int run_on_screen(SignalFlags& signals, Run run) {
  // The terminal's character set, so that curses shows names in UTF-8 as
  // letters instead of blanks. Nothing else reads the locale: case is folded
  // for ASCII letters only, by our own code.
  std::setlocale(LC_CTYPE, "");
  // Before initscr, which then leaves these signals to us.
  catch_signals(signals);
  initscr();
  const CycleEnd end = run();
  endwin();
  if (end == CycleEnd::STOPPED) std::_Exit(1);
  std::puts("Your terminal does not support color");
  return 1;
}

// The wall of the servers of a file with sections, each with the command
// line's options, its section's settings and its own exclude list.
int run_wall_of_servers(const Options& options, std::vector<ServerConfig>& configs) {
  const ExcludeList everyones = load_exclude_list(options.exclude_path);
  std::vector<WallServer> servers;
  for (ServerConfig& config : configs) {
    WallServer& server = servers.emplace_back();
    server.name = config.name;
    server.program.options = options;
    server.program.settings = std::move(config.settings);
    server.program.excludes = server_exclude_list(everyones, config.exclude_path);
  }
  // Once, before any thread: libcurl's own set-up is not safe to race.
  curl_global_init(CURL_GLOBAL_DEFAULT);
  SignalFlags signals;
  return run_on_screen(signals, [&] { return run_servers(servers, signals); });
}

// The wall of one server, as of a file without sections.
int run_wall(Program& program) {
  Wall wall{program, make_receive_buffer(), {}, {}};
  return run_on_screen(wall.signals, [&wall] {
    CycleEnd end;
    while ((end = run_cycle(wall)) == CycleEnd::GO_ON) {
    }
    return end;
  });
}

}  // namespace

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
  std::optional<ServersConfig> config = find_servers_file(program.options.config_path, config_search_directories());
  if (!config) {
    std::puts(CONFIG_NOT_FOUND.data());
    return 2;
  }
  // An unusable section header, named with its file and line.
  if (!config->fault.empty()) {
    std::puts(config->fault.c_str());
    return 2;
  }
  if (config->sectioned) return run_wall_of_servers(program.options, config->servers);
  program.settings = std::move(config->servers.front().settings);
  program.excludes = load_exclude_list(program.options.exclude_path);
  program.body = make_receive_buffer();
  return run_wall(program);
}
