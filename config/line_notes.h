#pragma once
// What a read-only second look at a user's file found: the lines its reader
// did not take, or took in another form than they were written.
#include <cstddef>
#include <string>
#include <vector>

#include "common/shown_limits.h"

struct LineNote {
  std::size_t line = 0;  // counted from 1
  std::string text;      // the line without its line end; a password's value masked
  std::string why;
};

struct LineNotes {
  std::vector<LineNote> notes;  // in line order, at most SHOWN_LINES_LIMIT
  std::size_t more = 0;         // lines with a note beyond those
  // Key -> the lines written for it (taken or not, a likely misspelling
  // included), so that advice about a key can name its line.
  std::vector<std::pair<std::string, std::size_t>> key_lines;
};

inline void add_note(LineNotes& notes, std::size_t line, std::string text, std::string why) {
  if (notes.notes.size() < SHOWN_LINES_LIMIT)
    notes.notes.push_back({line, std::move(text), std::move(why)});
  else
    ++notes.more;
}
