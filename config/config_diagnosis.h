#pragma once
// A second, read-only look at a configuration, for orvek -t: the reader
// itself (parse_config) stays as it is and says nothing; this pass reads the
// text the same way and tells, line by line, what the reader made of it.
#include <string>
#include <string_view>
#include <vector>

#include "config/line_notes.h"

// Every line not taken, or taken in a changed form, with the reason: an
// unknown or misspelt key (and the key it probably meant), a tab or other
// blank after the key, spaces or "#..." dropped from a value, two keys on
// one line, a last line without its line end, a key given twice. A
// password's value never appears in a note.
LineNotes diagnose_config(std::string_view text);

// The key a word was probably meant to be: the word itself when it is one,
// a known key in other letter case, a near misspelling or a usual other
// name ("user", "passwd", "url"); empty when none is near.
std::string probable_key(std::string_view word);

// Why no configuration could be read: "path: reason" for the -c path, or
// for each orvek.conf of the search in order, the reason in the system's
// words ("No such file or directory", "Permission denied", "Is a directory").
std::vector<std::string> config_search_failures(const char* config_path, const std::vector<std::string>& directories);

// Whether the reader knows this key.
bool is_config_key(std::string_view key);
