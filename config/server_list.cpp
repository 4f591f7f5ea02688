#include "config/server_list.h"

#include <optional>
#include <utility>

#include "config/exclude_diagnosis.h"
#include "config/server_sections.h"
#include "config/text_file.h"

namespace {

// A section's own list, on top of everyone's; an unreadable file lists
// nothing of its own.
Server section_server(const ServerConfig& section, const std::shared_ptr<const ExcludeList>& everyones) {
  Server server{section.name, section.settings, everyones, section.exclude_path};
  if (section.exclude_path.empty()) return server;
  std::optional<std::string> text = read_text_file(section.exclude_path.c_str(), EXCLUDE_READ_LIMIT);
  server.exclude_fault = (text ? exclude_text_fault(*text) : exclude_file_fault(section.exclude_path)).unusable;
  auto own = std::make_shared<ExcludeList>(exclude_list_of_text(text ? std::move(*text) : std::string()));
  own->below = everyones;
  server.excludes = std::move(own);
  return server;
}

}  // namespace

std::vector<Server> server_list(const ServersConfig& config, const char* exclude_path) {
  const auto everyones = std::make_shared<const ExcludeList>(load_exclude_list(exclude_path));
  std::vector<Server> servers;
  servers.reserve(config.servers.size());
  for (const ServerConfig& section : config.servers) servers.push_back(section_server(section, everyones));
  return servers;
}
