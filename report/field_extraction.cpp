#include "report/field_extraction.h"

#include <cstring>
#include <optional>

namespace {

using std::string_view;
constexpr auto npos = string_view::npos;

// Each pattern is a literal prefix, a greedy "\(.*\)" and literal separators.
// Under leftmost-longest matching the match starts at the prefix's first
// occurrence, ends at the suffix's last occurrence, and each earlier group
// is as long as the later literals still allow, so the groups can be found
// with plain searches instead of a regex engine.
constexpr string_view HOST_PREFIX = "name='host' value='";
constexpr string_view HOST_SUFFIX = "'/>";
constexpr string_view HOST_BEFORE_SERVICE_SUFFIX = "'/><postfield";
constexpr string_view SERVICE_PREFIX = "<postfield name='service' value='";
constexpr string_view SERVICE_SUFFIX = "'/>";
constexpr string_view CELL_PREFIX = "<TD ALIGN=LEFT valign=center CLASS='";
constexpr string_view CELL_HOST = "'><A HREF='extinfo.cgi?type=2&host=";
constexpr string_view CELL_SERVICE = "&service=";
constexpr string_view CELL_LINK_END = "'>";
constexpr string_view CELL_SUFFIX = "</A></TD>";

// The last occurrence of needle (not empty) that ends at or before limit.
// Jumps from one occurrence of its first character to the previous one, so a
// long line costs one quick backward scan, not a comparison at every place.
std::size_t last_ending_by(string_view line, string_view needle, std::size_t limit) {
  if (limit == npos || limit < needle.size()) return npos;
  std::size_t end = limit - needle.size() + 1;  // candidates start before this
  while (end > 0) {
    const void* found = ::memrchr(line.data(), needle[0], end);
    if (!found) return npos;
    const auto at = static_cast<std::size_t>(static_cast<const char*>(found) - line.data());
    if (std::memcmp(line.data() + at, needle.data(), needle.size()) == 0) return at;
    end = at;
  }
  return npos;
}

// prefix \(.*\) suffix
std::optional<string_view> match_simple(string_view line, string_view prefix, string_view suffix) {
  const std::size_t start = line.find(prefix);
  if (start == npos) return std::nullopt;
  const std::size_t group = start + prefix.size();
  const std::size_t end = last_ending_by(line, suffix, line.size());
  if (end == npos || end < group) return std::nullopt;
  return line.substr(group, end - group);
}

// CELL_PREFIX \(.*\) CELL_HOST \(.*\) CELL_SERVICE \(.*\) CELL_LINK_END \(.*\) CELL_SUFFIX:
// the literals are placed from the right, each as late as the next allows.
std::optional<string_view> match_table_cell(string_view line) {
  const std::size_t start = line.find(CELL_PREFIX);
  if (start == npos) return std::nullopt;
  const std::size_t group = start + CELL_PREFIX.size();
  const std::size_t suffix = last_ending_by(line, CELL_SUFFIX, line.size());
  const std::size_t link_end = last_ending_by(line, CELL_LINK_END, suffix);
  const std::size_t service = last_ending_by(line, CELL_SERVICE, link_end);
  const std::size_t host = last_ending_by(line, CELL_HOST, service);
  if (host == npos || host < group) return std::nullopt;
  return line.substr(group, host - group);
}

}  // namespace

const char* pattern_for(int mode, bool newcgi) {
  if (mode == HOST_FIELD) return HOST_PATTERN;
  if (mode == HOST_BEFORE_SERVICE) return HOST_BEFORE_SERVICE_PATTERN;
  return newcgi ? SERVICE_POSTFIELD_PATTERN : SERVICE_TABLE_CELL_PATTERN;
}

std::optional<std::string_view> match_field(std::string_view line, int mode, bool newcgi) {
  if (mode == HOST_FIELD) return match_simple(line, HOST_PREFIX, HOST_SUFFIX);
  if (mode == HOST_BEFORE_SERVICE) return match_simple(line, HOST_PREFIX, HOST_BEFORE_SERVICE_SUFFIX);
  if (newcgi) return match_simple(line, SERVICE_PREFIX, SERVICE_SUFFIX);
  return match_table_cell(line);
}

std::string_view extract_field(std::string_view line, int mode, bool newcgi, int& unmatched) {
  if (const auto group = match_field(line, mode, newcgi)) return *group;
  ++unmatched;
  return {};
}
