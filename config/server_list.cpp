#include "config/server_list.h"

#include "config/server_sections.h"

std::vector<Server> server_list(const ServersConfig& config, const char* exclude_path) {
  const std::shared_ptr<const ExcludeList> everyones = std::make_shared<const ExcludeList>(load_exclude_list(exclude_path));
  std::vector<Server> servers;
  servers.reserve(config.servers.size());
  for (const ServerConfig& section : config.servers)
    servers.push_back({section.name, section.settings, server_exclude_list(everyones, section.exclude_path),
                       section.exclude_path});
  return servers;
}
