#pragma once
// What orvek -t tells of one server of a file with sections beyond what it
// tells of a one-server wall: the lines that set its values, its section's
// and the defaults' (so a default written after the last section shows as
// that section's own), and its section's exclude file.
#include <cstddef>
#include <string_view>
#include <vector>

#include "check/check_from_shell.h"

struct ServersConfig;

// "set in the section" and "set in the defaults": each key whose value
// servers.servers[index] took, with the line that set it; never a value.
std::vector<CheckLine> section_value_lines(const ServersConfig& servers, std::size_t index);

// The second look for that server's block: the notes on the defaults' lines
// and its section's, the -e file's (everyones: what read_set_up_notes found
// of it, once for every server), and its own exclude file read again as the
// wall reads it. text: the configuration's.
SetUpNotes section_set_up(const SetUpNotes& everyones, std::string_view text, const ServersConfig& servers,
                          std::size_t index);
