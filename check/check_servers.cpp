#include "check/check_servers.h"

#include <curl/curl.h>
#include <exception>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "check/combined_check.h"
#include "check/section_check.h"
#include "config/config_diagnosis.h"
#include "config/server_sections.h"
#include "fetch/status_fetch.h"
#include "refresh/program.h"

namespace {

using std::string;

// One server's check, as the one server of a file without sections is
// checked; what stops it ends its own report UNKNOWN, not the others'.
CheckReport check_section(const Options& options, const string& config_file, const string& text,
                          const ServersConfig& servers, std::size_t index, const Deadline& deadline) {
  const ServerConfig& server = servers.servers[index];
  try {
    Program program;
    program.options = options;
    program.settings = server.settings;
    program.excludes = server_exclude_list(load_exclude_list(options.exclude_path), server.exclude_path);
    program.body = make_receive_buffer();
    return check_server(program, config_file, section_set_up(program, text, servers, index), deadline);
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
  const Deadline deadline = deadline_in(options.check_deadline);
  if (options.server_name) return check_section(options, config_file, text, servers, chosen.front(), deadline);

  // libcurl's global set-up is not thread-safe: done here, before the threads.
  curl_global_init(CURL_GLOBAL_DEFAULT);
  std::vector<NamedCheck> checks(chosen.size());
  {
    std::vector<std::jthread> threads;
    for (std::size_t i = 0; i < chosen.size(); ++i) {
      checks[i].name = servers.servers[chosen[i]].name;
      threads.emplace_back([&, i] { checks[i].report = check_section(options, config_file, text, servers, chosen[i], deadline); });
    }
  }
  return combine_checks(checks);
}

}  // namespace

int check_configured(Program& program) {
  const Options& options = program.options;
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
    program.settings = std::move(servers->servers.front().settings);
    program.excludes = load_exclude_list(options.exclude_path);
    program.body = make_receive_buffer();
    return check_from_shell(program, config_file, ConfigText{std::move(text), std::move(servers->parts.front())});
  } catch (const std::exception& failure) {
    return write_check(unfinished_check(string("the check could not finish: ") + failure.what()));
  }
}
