#include "check/check_servers.h"

#include <exception>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "check/combined_check.h"
#include "check/section_check.h"
#include "config/config_diagnosis.h"
#include "config/server_list.h"
#include "config/server_sections.h"
#include "fetch/status_fetch.h"
#include "refresh/program.h"

namespace {

using std::string;

// What orvek -t explains a server with.
Program program_of(const Options& options, const Server& server) {
  Program program;
  program.options = options;
  program.settings = server.settings;
  program.excludes = server.excludes;
  program.body = make_receive_buffer();
  return program;
}

// One server's check, as the one server of a file without sections is
// checked; what stops it ends its own report UNKNOWN, not the others'.
CheckReport check_section(const Options& options, const string& config_file, const string& text,
                          const ServersConfig& servers, const SetUpNotes& everyones, const Server& server,
                          std::size_t index, const Deadline& deadline) {
  try {
    Program program = program_of(options, server);
    return check_server(program, config_file, section_set_up(everyones, text, servers, index), deadline);
  } catch (const std::exception& failure) {
    return unfinished_check(string("the check could not finish: ") + failure.what());
  }
}

string names_of(const ServersConfig& servers) {
  string names;
  for (const ServerConfig& server : servers.servers) names += (names.empty() ? "" : ", ") + server.name;
  return names;
}

// The sections' servers, every one at once on a thread of its own, under one
// deadline; or only the one -S names.
CheckReport check_sections(const Options& options, const string& config_file, const string& text,
                           const ServersConfig& servers) {
  std::vector<std::size_t> chosen;
  for (std::size_t i = 0; i < servers.servers.size(); ++i)
    if (!options.server_name || servers.servers[i].name == options.server_name) chosen.push_back(i);
  if (chosen.empty())
    return unfinished_check("no server named \"" + string(options.server_name) + "\"; the servers are: " +
                            names_of(servers));
  // The lists are made, and -e's file looked at, once for every server and
  // before the deadline starts: it bounds the transfers only.
  const std::vector<Server> list = server_list(servers, options.exclude_path);
  const SetUpNotes everyones = read_set_up_notes(options, {});
  const Deadline deadline = deadline_in(options.check_deadline);
  if (options.server_name)
    return check_section(options, config_file, text, servers, everyones, list[chosen.front()], chosen.front(),
                         deadline);

  std::vector<NamedCheck> checks(chosen.size());
  {
    std::vector<std::jthread> threads;
    for (std::size_t i = 0; i < chosen.size(); ++i) {
      checks[i].name = list[chosen[i]].name;
      threads.emplace_back([&, i] {
        checks[i].report =
            check_section(options, config_file, text, servers, everyones, list[chosen[i]], chosen[i], deadline);
      });
    }
  }
  return combine_checks(checks);
}

}  // namespace

int check_configured(const Options& options) {
  string config_file, text;
  std::optional<ServersConfig> servers =
      find_servers_file(options.config_path, config_search_directories(), &config_file, &text);
  if (!servers) {
    const std::vector<string> failures = config_search_failures(options.config_path, config_search_directories());
    string why = "could not find orvek.conf: ";
    for (std::size_t i = 0; i < failures.size(); ++i) why += (i ? "; " : "") + failures[i];
    return write_check(unfinished_check(why, failures));
  }
  if (!servers->fault.empty()) return write_check(unfinished_check(servers->fault));
  try {
    if (servers->sectioned) return write_check(check_sections(options, config_file, text, *servers));
    if (options.server_name) return write_check(unfinished_check("the configuration has no server sections"));
    Program program = program_of(options, server_list(*servers, options.exclude_path).front());
    return check_from_shell(program, config_file, ConfigText{std::move(text), std::move(servers->parts.front())});
  } catch (const std::exception& failure) {
    return write_check(unfinished_check(string("the check could not finish: ") + failure.what()));
  }
}
