#pragma once
// One line of orvek -t's report, "key: value", and whether it is a note: a
// line that leaves the wall working, but not quite as written, and so ends
// the check WARNING.
#include <string>
#include <utility>

struct CheckLine {
  std::string key;
  std::string value;
  bool notes = false;
};

// A set-up that works, but not as written: always a note.
inline CheckLine pitfall(std::string value) { return {"pitfall", std::move(value), true}; }
