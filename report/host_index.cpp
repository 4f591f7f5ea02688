#include "report/host_index.h"

#include <algorithm>
#include <string>

#include "common/keyed_hash.h"
#include "common/match_automaton.h"
#include "common/suffix_automaton.h"
#include "common/text_search.h"

using std::string_view;

namespace {

constexpr string_view KEY_START = "value='";
constexpr string_view KEY_END = "'/>";

// Lines holding more (key start, key end) pairs than this go through the
// automaton over all keys. The server's lines hold two or three of each; a
// pair costs a hash of its window, so the budget keeps a line to a few
// passes over it.
constexpr std::size_t PAIR_BUDGET = 16;

}  // namespace

std::uint32_t HostTable::find(string_view text, std::uint64_t hash) const {
  const auto [first, last] = by_hash.equal_range(hash);
  for (auto it = first; it != last; ++it)
    if (equal_ignoring_case(names[it->second], text)) return it->second;
  return NO_HOST;
}

std::uint32_t HostTable::insert(string_view text) {
  const std::uint64_t hash = keyed_folded_hash(text);
  if (const std::uint32_t found = find(text, hash); found != NO_HOST) return found;
  const auto id = static_cast<std::uint32_t>(names.size());
  names.push_back(text);
  by_hash.emplace(hash, id);
  if (has_length.size() <= text.size()) has_length.resize(text.size() + 1, false);
  has_length[text.size()] = true;
  return id;
}

namespace {

// Every window of every DOWN or UNREACHABLE name looked up among the hosts of
// its length, one length at a time: the fastest way while the hosts have
// few short lengths, as on the server's pages, but each window costs a hash
// of its length.
void mark_inside_by_windows(const HostTable& hosts, const std::vector<string_view>& down_hosts,
                            std::vector<bool>& inside, StopFlag stop = nullptr) {
  std::vector<std::string> folded;
  folded.reserve(down_hosts.size());
  std::size_t longest = 0;
  for (const string_view down : down_hosts) {
    std::string& text = folded.emplace_back(down);
    for (char& c : text) c = static_cast<char>(fold_ascii(c));
    longest = std::max(longest, down.size());
  }
  std::size_t steps = 0;
  for (std::size_t length = 1; length < hosts.has_length.size() && length <= longest; ++length) {
    if (!hosts.has_length[length]) continue;
    if (stop_asked(stop)) return;
    for (const string_view down : folded) {
      for (std::size_t start = 0; start + length <= down.size(); ++start) {
        if (++steps % STOP_CHECK_STEPS == 0 && stop_asked(stop)) return;
        const string_view window = down.substr(start, length);
        const std::uint32_t id = hosts.find(window, keyed_hash(window));
        if (id != NO_HOST) inside[id] = true;
      }
    }
  }
}

// One automaton over the host names no longer than the longest DOWN or
// UNREACHABLE name (no longer one can lie inside), run once over every such
// name: the cost is the names' lengths, whatever their number.
void mark_inside_by_automaton(const HostTable& hosts, const std::vector<string_view>& down_hosts,
                              std::vector<bool>& inside, StopFlag stop = nullptr) {
  std::size_t longest = 0;
  for (const string_view down : down_hosts) longest = std::max(longest, down.size());
  std::vector<string_view> patterns;
  std::vector<std::uint32_t> host_of;  // per pattern
  for (std::uint32_t h = 0; h < hosts.names.size(); ++h)
    if (hosts.names[h].size() <= longest) {
      patterns.push_back(hosts.names[h]);
      host_of.push_back(h);
    }
  const MatchAutomaton automaton = build_match_automaton(patterns, stop);
  std::vector<std::uint32_t> named(patterns.size(), NO_PATTERN);
  std::vector<std::uint32_t> found;
  for (const string_view down : down_hosts) {
    if (stop_asked(stop)) return;
    find_patterns(automaton, down, named, 0, found, stop);
    for (const std::uint32_t pattern : found) inside[host_of[pattern]] = true;
    found.clear();
  }
}

// Each host walked through the suffix automaton of the DOWN and UNREACHABLE
// names: at most a step per byte of the hosts, after building over the DOWN
// names' bytes times their alphabet.
void mark_inside_by_suffixes(const HostTable& hosts, const std::vector<string_view>& down_hosts,
                             std::vector<bool>& inside, StopFlag stop = nullptr) {
  const SuffixAutomaton automaton = build_suffix_automaton(down_hosts, stop);
  for (std::uint32_t h = 0; h < hosts.names.size(); ++h) {
    if (h % STOP_CHECK_STEPS == 0 && stop_asked(stop)) return;
    if (inside_any(automaton, hosts.names[h])) inside[h] = true;
  }
}

// What each way costs, in about a nanosecond each on the largest pages: a
// window is a keyed hash of its bytes and a table look-up; the automaton
// over the hosts costs a step per byte of every host that may lie inside
// and of every DOWN name, but its building touches memory all over; the
// suffix automaton costs a step per host byte, and its building (a few
// states and cells per DOWN byte, met in no order) and the clearing of its
// table of the DOWN names' length times their alphabet.
constexpr std::size_t WINDOW_COST = 25, WINDOW_BYTE_COST = 2;
constexpr std::size_t AUTOMATON_BYTE_COST = 20;
constexpr std::size_t SUFFIX_HOST_BYTE_COST = 3, SUFFIX_DOWN_BYTE_COST = 100, SUFFIX_CELLS_PER_COST = 2;
// The suffix automaton's table is kept under 8 MB.
constexpr std::size_t SUFFIX_CELL_LIMIT = std::size_t{2} << 20;

enum class InsideWay { WINDOWS, AUTOMATON, SUFFIXES };

// The way that costs least for these names. The windows are summed per host
// length L: the windows of the DOWN names at least L long, (their bytes) -
// (L - 1) * (their number), swept with L upwards, until they cost more than
// the cheaper automaton.
InsideWay cheapest_way(const HostTable& hosts, const std::vector<string_view>& down_hosts) {
  std::vector<std::size_t> down_lengths;
  down_lengths.reserve(down_hosts.size());
  std::size_t down_bytes = 0;
  for (const string_view down : down_hosts) {
    down_lengths.push_back(down.size());
    down_bytes += down.size();
  }
  std::sort(down_lengths.begin(), down_lengths.end());
  const std::size_t longest = down_lengths.back();
  std::size_t host_bytes = 0;
  for (const string_view name : hosts.names)
    if (name.size() <= longest) host_bytes += name.size();
  const std::size_t automaton = AUTOMATON_BYTE_COST * (host_bytes + down_bytes);
  const std::size_t cells = suffix_automaton_cells(down_hosts);
  const std::size_t suffixes = cells > SUFFIX_CELL_LIMIT ? SIZE_MAX
                                                         : SUFFIX_HOST_BYTE_COST * host_bytes +
                                                               SUFFIX_DOWN_BYTE_COST * down_bytes +
                                                               cells / SUFFIX_CELLS_PER_COST;
  const std::size_t other = std::min(automaton, suffixes);
  const InsideWay other_way = suffixes < automaton ? InsideWay::SUFFIXES : InsideWay::AUTOMATON;
  std::size_t windows_cost = 0, shorter = 0, shorter_bytes = 0;
  for (std::size_t length = 1; length < hosts.has_length.size() && length <= longest; ++length) {
    while (shorter < down_lengths.size() && down_lengths[shorter] < length) shorter_bytes += down_lengths[shorter++];
    if (!hosts.has_length[length]) continue;
    const std::size_t windows = (down_bytes - shorter_bytes) - (length - 1) * (down_lengths.size() - shorter);
    windows_cost += windows * (WINDOW_COST + WINDOW_BYTE_COST * length);
    if (windows_cost > other) return other_way;
  }
  return InsideWay::WINDOWS;
}

// The empty name lies inside every name.
std::vector<bool> none_inside_but_empty(const HostTable& hosts) {
  std::vector<bool> inside(hosts.names.size(), false);
  if (const std::uint32_t id = hosts.find({}, keyed_folded_hash({})); id != NO_HOST) inside[id] = true;
  return inside;
}

}  // namespace

std::vector<bool> hosts_inside_by_windows(const HostTable& hosts, const std::vector<string_view>& down_hosts) {
  if (down_hosts.empty()) return std::vector<bool>(hosts.names.size(), false);
  std::vector<bool> inside = none_inside_but_empty(hosts);
  mark_inside_by_windows(hosts, down_hosts, inside);
  return inside;
}

std::vector<bool> hosts_inside_by_automaton(const HostTable& hosts, const std::vector<string_view>& down_hosts) {
  if (down_hosts.empty()) return std::vector<bool>(hosts.names.size(), false);
  std::vector<bool> inside = none_inside_but_empty(hosts);
  mark_inside_by_automaton(hosts, down_hosts, inside);
  return inside;
}

std::vector<bool> hosts_inside_by_suffixes(const HostTable& hosts, const std::vector<string_view>& down_hosts) {
  if (down_hosts.empty()) return std::vector<bool>(hosts.names.size(), false);
  std::vector<bool> inside = none_inside_but_empty(hosts);
  mark_inside_by_suffixes(hosts, down_hosts, inside);
  return inside;
}

// For each host, whether its name lies inside a DOWN or UNREACHABLE host's
// name, by whichever way costs least for the page; none depends on what
// the names hash to, so no page costs more than the cheaper automaton.
std::vector<bool> hosts_inside(const HostTable& hosts, const std::vector<string_view>& down_hosts, StopFlag stop) {
  if (down_hosts.empty() || hosts.names.empty()) return std::vector<bool>(hosts.names.size(), false);
  std::vector<bool> inside = none_inside_but_empty(hosts);
  switch (cheapest_way(hosts, down_hosts)) {
    case InsideWay::WINDOWS: mark_inside_by_windows(hosts, down_hosts, inside, stop); break;
    case InsideWay::AUTOMATON: mark_inside_by_automaton(hosts, down_hosts, inside, stop); break;
    case InsideWay::SUFFIXES: mark_inside_by_suffixes(hosts, down_hosts, inside, stop); break;
  }
  return inside;
}

// A key "value='<host>'/>" can only start right after a "value='" of the
// line and end at one of its "'/>", both anchored at a quote. Where a line
// has few such places, only the pairs of them whose distance is a host's
// length are looked up; a line with more (a hostile one) is read through
// one automaton over all keys, so no line costs more than a few passes.
ServiceIndex index_service_lines(const std::vector<ProblemLine>& lines, const std::vector<bool>& read,
                                 const HostTable& hosts, StopFlag stop) {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> filed;  // (host, line), in line order
  std::vector<std::uint32_t> last_line(hosts.names.size(), NO_HOST);
  // Built only if some line is too tangled for the pairs.
  std::string keys;
  MatchAutomaton by_key;
  std::vector<std::uint32_t> found;
  std::vector<std::size_t> value_starts, key_ends;
  const auto file = [&](std::uint32_t host, std::uint32_t line) {
    if (last_line[host] == line) return;
    last_line[host] = line;
    filed.emplace_back(host, line);
  };

  for (std::uint32_t l = 0; l < lines.size(); ++l) {
    if (stop_asked(stop)) break;
    if (!(lines[l].tokens & SERVICE_TOKENS) || !read[l]) continue;
    const string_view text = lines[l].text;
    value_starts.clear();
    key_ends.clear();
    for (std::size_t quote = text.find('\''); quote != string_view::npos; quote = text.find('\'', quote + 1)) {
      if (quote >= KEY_START.size() - 1 &&
          equal_ignoring_case(text.substr(quote + 1 - KEY_START.size(), KEY_START.size()), KEY_START))
        value_starts.push_back(quote + 1);
      if (text.compare(quote, KEY_END.size(), KEY_END) == 0) key_ends.push_back(quote);
    }
    if (value_starts.size() * key_ends.size() > PAIR_BUDGET) {
      if (keys.empty() && !hosts.names.empty()) {
        std::size_t length = 0;
        for (const string_view name : hosts.names) length += KEY_START.size() + name.size() + KEY_END.size();
        keys.reserve(length);
        std::vector<std::size_t> ends;
        for (const string_view name : hosts.names) {
          keys.append(KEY_START).append(name).append(KEY_END);
          ends.push_back(keys.size());
        }
        std::vector<string_view> views;
        for (std::size_t h = 0, begin = 0; h < ends.size(); begin = ends[h++])
          views.push_back(string_view(keys).substr(begin, ends[h] - begin));
        by_key = build_match_automaton(views, stop);
      }
      found.clear();
      find_patterns(by_key, text, last_line, l, found, stop);
      for (const std::uint32_t host : found) filed.emplace_back(host, l);
      continue;
    }
    for (const std::size_t value : value_starts)
      for (const std::size_t end : key_ends) {
        if (end < value) continue;
        const std::size_t length = end - value;
        if (length >= hosts.has_length.size()) break;
        if (!hosts.has_length[length]) continue;
        const string_view name = text.substr(value, length);
        if (const std::uint32_t host = hosts.find(name, keyed_folded_hash(name)); host != NO_HOST) file(host, l);
      }
  }
  return index_by_host(filed, hosts.names.size());
}

// A stable counting sort by host keeps each host's lines in table order.
ServiceIndex index_by_host(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& filed, std::size_t host_count) {
  ServiceIndex index;
  index.start.assign(host_count + 1, 0);
  for (const auto& [host, line] : filed) ++index.start[host + 1];
  for (std::size_t h = 0; h < host_count; ++h) index.start[h + 1] += index.start[h];
  index.line.resize(filed.size());
  std::vector<std::uint32_t> next(index.start.begin(), index.start.end() - 1);
  for (const auto& [host, line] : filed) index.line[next[host]++] = line;
  return index;
}

