#pragma once
// What the reader made of a configuration, told line by line for orvek -t:
// the reader (read_config) keeps an account of every line, and this tells
// it in words; it reads no line itself.
#include <string>
#include <string_view>
#include <vector>

#include "config/config_file.h"
#include "config/line_notes.h"
#include "config/server_sections.h"

// Every line not taken, or taken in a changed form, with the reason: an
// unknown or misspelt key (and the key it probably meant), a tab or other
// blank after the key, spaces or "#..." dropped from a value, two keys on
// one line, a last line without its line end, a key given twice, a value
// its key cannot use. text: the file reading was made of. A password's
// value never appears in a note, and nothing else is masked: a note's text
// and reason are shown as they stand (control characters aside).
LineNotes diagnose_config(std::string_view text, const ConfigReading& reading);

// The same for a text not yet read.
LineNotes diagnose_config(std::string_view text);

// The same for a file with server sections or without (for one without,
// exactly diagnose_config): each part, the defaults and each section, told
// on its own, its lines numbered as in the file. A section's header line
// has no note: one that names no usable server is the file's fault.
LineNotes diagnose_servers(std::string_view text, const ServersConfig& servers);

// The key a word was probably meant to be: the word itself when it is one,
// a known key in other letter case, a near misspelling or a usual other
// name ("user", "passwd", "url"); empty when none is near. sectioned: the
// file has server sections, and so the keys only such a file reads.
std::string probable_key(std::string_view word, bool sectioned = false);

// Why no configuration could be read: "path: reason" for the -c path, or
// for each orvek.conf of the search in order, the reason in the system's
// words ("No such file or directory", "Permission denied", "Is a directory").
std::vector<std::string> config_search_failures(const char* config_path, const std::vector<std::string>& directories);

// Whether the reader knows this key (in a file with server sections when
// sectioned).
bool is_config_key(std::string_view key, bool sectioned = false);
