#pragma once
// A second, read-only look at an exclude file, for orvek -t: the lines that
// hide something other than what they were likely written for.
#include <string_view>

#include "config/line_notes.h"

// Empty lines (an empty entry hides every service), blanks or a carriage
// return around an entry (kept in it, so it no longer equals the host),
// lines given twice, and a last line without its line end (no entry).
LineNotes diagnose_exclude_file(std::string_view text);
