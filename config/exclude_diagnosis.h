#pragma once
// A second, read-only look at an exclude file, for orvek -t: the lines that
// hide something other than what they were likely written for.
#include <string>
#include <string_view>

#include "config/line_notes.h"

// Empty lines (an empty entry hides every service), blanks or a carriage
// return around an entry (kept in it, so it no longer equals the host),
// lines given twice, and a last line without its line end (no entry).
LineNotes diagnose_exclude_file(std::string_view text);

// Why a server section's exclude file cannot serve as it was meant, for a
// mark on that server's header and for orvek -t: it cannot be read
// (missing, no permission), it is no regular file (a directory, a FIFO,
// which is never opened to wait for a writer, a device), or it holds an
// empty line, which hides every service. A section without one is fine.
struct ExcludeFileFault {
  bool unusable = false;
  // The cause, without the path: "No such file or directory", "Is a
  // directory", "a FIFO, not a regular file", "line 3 is empty, which hides
  // every service". Empty when usable.
  std::string cause;
};

ExcludeFileFault exclude_file_fault(const std::string& path);

// The same for the text read from such a file: its first empty line.
ExcludeFileFault exclude_text_fault(std::string_view text);
