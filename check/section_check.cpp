#include "check/section_check.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "config/config_diagnosis.h"
#include "config/exclude_diagnosis.h"
#include "config/exclude_list.h"
#include "config/server_sections.h"
#include "config/text_file.h"
#include "refresh/program.h"

namespace {

using std::string;

// The notes on a section: the defaults' lines and its own, as its settings
// came from them. Part 0 is the defaults; section i is part i + 1.
LineNotes section_notes(std::string_view text, const ServersConfig& servers, std::size_t index) {
  ServersConfig parts;
  parts.sectioned = true;
  parts.parts = {servers.parts.front(), servers.parts.at(index + 1)};
  return diagnose_servers(text, parts);
}

// "server (line 9), maxage (line 10)", or "none".
string keys_and_lines(const std::vector<std::pair<std::size_t, std::size_t>>& set) {
  string text;
  for (const auto& [key, line] : set)
    text.append(text.empty() ? "" : ", ").append(CONFIG_KEYS[key].name).append(" (line ").append(std::to_string(line)).push_back(')');
  return text.empty() ? "none" : text;
}

}  // namespace

std::vector<CheckLine> section_value_lines(const ServersConfig& servers, std::size_t index) {
  const ServerConfig& server = servers.servers.at(index);
  const ConfigReading &defaults = servers.parts.front(), &own = servers.parts.at(index + 1);
  // (key, line), in the order of the keys.
  std::vector<std::pair<std::size_t, std::size_t>> in_section, in_defaults;
  for (std::size_t k = 0; k < KEY_COUNT; ++k) {
    if (own.last_line[k] != 0)
      in_section.emplace_back(k, own.last_line[k]);
    else if (defaults.last_line[k] != 0)
      in_defaults.emplace_back(k, defaults.last_line[k]);
  }
  return {{"section", server.name + ", lines " + std::to_string(server.header_line) + " to " +
                          std::to_string(std::max(server.header_line, server.end_line - 1))},
          {"set in the section", keys_and_lines(in_section)},
          {"set in the defaults", keys_and_lines(in_defaults)}};
}

SetUpNotes section_set_up(const SetUpNotes& everyones, std::string_view text, const ServersConfig& servers,
                          std::size_t index) {
  SetUpNotes notes = everyones;
  notes.config = section_notes(text, servers, index);
  SectionSetUp section;
  section.values = section_value_lines(servers, index);
  section.exclude_path = servers.servers.at(index).exclude_path;
  if (!section.exclude_path.empty()) {
    const std::size_t own = servers.parts.at(index + 1).last_line[key_of("exclude")];
    section.exclude_where = own != 0 ? "named on line " + std::to_string(own)
                                     : "named on line " +
                                           std::to_string(servers.parts.front().last_line[key_of("exclude")]) +
                                           ", in the defaults";
    // One read for the count, the fault and the notes: one picture of the file.
    if (const std::optional<string> read = read_text_file(section.exclude_path.c_str(), EXCLUDE_READ_LIMIT)) {
      section.exclude_entries = static_cast<std::size_t>(std::count(read->begin(), read->end(), '\n'));
      section.exclude_fault = exclude_text_fault(*read).cause;
      section.excludes = diagnose_exclude_file(*read);
    } else {
      section.exclude_unread = exclude_file_fault(section.exclude_path).cause;
    }
  }
  notes.section = std::move(section);
  return notes;
}
