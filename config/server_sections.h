#pragma once
// orvek.conf with [server NAME] sections, for several servers on one wall:
// the lines before the first section are defaults, and each section takes
// them for every key it does not set itself. A file without sections is one
// server, read exactly as ever.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/config_file.h"

// The longest server name, in characters.
inline constexpr std::size_t SERVER_NAME_LIMIT = 32;

struct ServerConfig {
  std::string name;                          // as written, blanks at its ends left out; empty without sections
  std::size_t header_line = 0;               // its [server NAME] line; 0 without sections
  std::size_t first_line = 0, end_line = 0;  // its own lines [first, end): up to the next header, or past the last
  Settings settings;                         // its own values, the defaults' for the keys it does not set
  std::string exclude_path;                  // its exclude file (exclude PATH, sections only); empty: none
  bool server_given = false;                 // a server line counts for it (its section's, the defaults')
};

struct ServersConfig {
  std::vector<ServerConfig> servers;  // in the order of their sections; one without sections; none with a fault
  bool sectioned = false;             // a line of the file opens a section
  // Why the file is unusable ("orvek.conf:14: a second server named \"lab\""):
  // a section header that names no usable server (a name holding a control
  // character or one of | ' " = ; ` $ \ among them), or in a file with
  // sections a line that starts with "[" and opens none
  // ("orvek.conf:7: \"[Server prod]\": a section header is written
  // [server NAME]"), the first in the file. Empty when it is usable.
  std::string fault;
  // The reader's account of each part, in file order: the defaults, then
  // each section's own lines (fault or not), numbered as in the file.
  // Without sections, the one account read_config gives.
  std::vector<ConfigReading> parts;
};

// The servers of a configuration's text; file_name, the file's path as the
// user gave it, names it in the fault.
ServersConfig read_servers(std::string_view text, std::string_view file_name);

// The servers of the file at path, and its text when text is given;
// nothing when it cannot be read.
std::optional<ServersConfig> load_servers(const std::string& path, std::string* text = nullptr);

// The servers of the file find_config_file would choose (choose_config_file),
// its path and its text; nothing when no file can be read.
std::optional<ServersConfig> find_servers_file(
    const char* config_path, const std::vector<std::string>& search_directories = config_search_directories(),
    std::string* chosen_path = nullptr, std::string* text = nullptr);
