#include "config/exclude_diagnosis.h"

#include <algorithm>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/shown_limits.h"
#include "config/exclude_list.h"
#include "config/text_file.h"

namespace {

using std::string;
using std::string_view;

bool is_blank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

LineNotes diagnose_exclude_file(string_view text) {
  LineNotes result;
  std::unordered_map<string_view, std::size_t> first_seen;
  first_seen.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')));
  std::size_t number = 0;
  for (std::size_t start = 0; start < text.size();) {
    ++number;
    const std::size_t newline = text.find('\n', start);
    if (newline == string_view::npos) {
      add_note(result, number, shown_line_start(text.substr(start)), "the last line has no line end: it is no entry");
      break;
    }
    const string_view entry = text.substr(start, newline - start);
    start = newline + 1;
    std::vector<string> why;
    const auto [seen, fresh] = first_seen.emplace(entry, number);
    const bool blank_edge = !entry.empty() && (entry.back() == '\r' || is_blank(entry.back()) || is_blank(entry.front()));
    // A line people write as a comment is an entry like any other.
    const std::size_t first_text = entry.find_first_not_of(" \t");
    const bool comment_like = first_text != string_view::npos && entry[first_text] == '#';
    const bool bom = number == 1 && entry.starts_with(BYTE_ORDER_MARK);
    if (fresh && !entry.empty() && !blank_edge && !comment_like && !bom) continue;
    // Past the notes shown only the count goes on.
    if (result.notes.size() >= SHOWN_LINES_LIMIT) {
      ++result.more;
      continue;
    }
    if (entry.empty()) {
      // Said once; the others are the same entry again.
      if (fresh) why.push_back("an empty line is an empty entry, which hides every service");
      else why.push_back("another empty line (first on line " + std::to_string(seen->second) + ")");
    } else {
      if (bom)
        why.push_back("the file starts with a byte-order mark (EF BB BF), which stays in the first entry: save it "
                      "without");
      if (comment_like)
        why.push_back("exclude files have no comments: this line hides services whose names contain `" +
                      shown_line_start(entry) + "`");
      string_view core = entry;
      if (core.back() == '\r') {
        why.push_back("ends in a carriage return (Windows line end), which stays in the entry");
        core.remove_suffix(1);
      }
      std::size_t trailing = 0;
      while (trailing < core.size() && is_blank(core[core.size() - 1 - trailing])) ++trailing;
      std::size_t leading = 0;
      while (leading < core.size() - trailing && is_blank(core[leading])) ++leading;
      if (trailing > 0) why.push_back("trailing blanks stay in the entry");
      if (leading > 0) why.push_back("leading blanks stay in the entry");
      if (blank_edge && core.size() > leading + trailing)
        why.back() += ": it equals no host named \"" + string(core.substr(leading, core.size() - leading - trailing)) + "\"";
      else if (blank_edge)
        why.back() += ": every service name holding them is hidden";
      if (!fresh) why.push_back("the same as line " + std::to_string(seen->second));
    }
    if (why.empty()) continue;
    string because;
    for (const string& part : why) because.append(because.empty() ? "" : "; ").append(part);
    add_note(result, number, shown_line_start(entry), because);
  }
  return result;
}

ExcludeFileFault exclude_text_fault(string_view text) {
  // An entry is a line ended by a newline: an empty one is "\n" at the
  // start or right after another.
  const std::size_t at = text.starts_with('\n') ? 0 : text.find("\n\n");
  if (at == string_view::npos) return {};
  const std::size_t line = static_cast<std::size_t>(std::count(text.begin(), text.begin() + at, '\n')) +
                           (at == 0 ? 1 : 2);
  return {true, "line " + std::to_string(line) + " is empty, which hides every service"};
}

ExcludeFileFault exclude_file_fault(const std::string& path) {
  if (path.empty()) return {};
  const std::optional<string> text = read_text_file(path.c_str(), EXCLUDE_READ_LIMIT);
  if (!text) {
    const string why = why_unreadable(path.c_str());
    return {true, why.empty() ? string("it could not be read") : why};
  }
  return exclude_text_fault(*text);
}
