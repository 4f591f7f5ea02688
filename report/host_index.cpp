#include "report/host_index.h"

#include <string>

#include "common/match_automaton.h"
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

constexpr std::uint64_t HASH_BASE = 0x100000001b3ULL;

}  // namespace

std::uint64_t folded_hash(string_view text) {
  std::uint64_t hash = 0;
  for (const char c : text) hash = hash * HASH_BASE + fold_ascii(c);
  return hash;
}

std::uint32_t HostTable::find(string_view text, std::uint64_t hash) const {
  const auto [first, last] = by_hash.equal_range(hash);
  for (auto it = first; it != last; ++it)
    if (equal_ignoring_case(names[it->second], text)) return it->second;
  return NO_HOST;
}

std::uint32_t HostTable::insert(string_view text) {
  const std::uint64_t hash = folded_hash(text);
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
// few lengths, as on the server's pages, but it costs lengths times names.
void mark_inside_by_windows(const HostTable& hosts, const std::vector<string_view>& down_hosts,
                            std::vector<bool>& inside, StopFlag stop = nullptr) {
  for (std::size_t length = 1; length < hosts.has_length.size(); ++length) {
    if (!hosts.has_length[length]) continue;
    if (stop_asked(stop)) return;
    std::uint64_t top = 1;  // HASH_BASE^(length - 1)
    for (std::size_t i = 1; i < length; ++i) top *= HASH_BASE;
    for (const string_view down : down_hosts) {
      if (down.size() < length) continue;
      std::uint64_t hash = folded_hash(down.substr(0, length));
      for (std::size_t start = 0;; ++start) {
        if (start % STOP_CHECK_STEPS == 0 && stop_asked(stop)) return;
        const std::uint32_t id = hosts.find(down.substr(start, length), hash);
        if (id != NO_HOST) inside[id] = true;
        if (start + length == down.size()) break;
        hash = (hash - fold_ascii(down[start]) * top) * HASH_BASE + fold_ascii(down[start + length]);
      }
    }
  }
}

// One automaton over all host names, run once over every DOWN or
// UNREACHABLE name: the cost is the names' lengths, whatever their number.
void mark_inside_by_automaton(const HostTable& hosts, const std::vector<string_view>& down_hosts,
                              std::vector<bool>& inside, StopFlag stop = nullptr) {
  const MatchAutomaton automaton = build_match_automaton(hosts.names, stop);
  std::vector<std::uint32_t> named(hosts.names.size(), NO_PATTERN);
  std::vector<std::uint32_t> found;
  for (const string_view down : down_hosts) {
    if (stop_asked(stop)) return;
    find_patterns(automaton, down, named, 0, found, stop);
    for (const std::uint32_t host : found) inside[host] = true;
    found.clear();
  }
}

// An automaton step costs about as much as this many window lookups.
constexpr std::size_t AUTOMATON_STEP_COST = 8;

// The empty name lies inside every name.
std::vector<bool> none_inside_but_empty(const HostTable& hosts) {
  std::vector<bool> inside(hosts.names.size(), false);
  if (const std::uint32_t id = hosts.find({}, 0); id != NO_HOST) inside[id] = true;
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

// For each host, whether its name lies inside a DOWN or UNREACHABLE host's
// name. Both ways read every name a fixed number of times per host length;
// the windows are taken while the lengths are few, so that a page of many
// lengths (hostile) never costs more than the automaton.
std::vector<bool> hosts_inside(const HostTable& hosts, const std::vector<string_view>& down_hosts, StopFlag stop) {
  if (down_hosts.empty() || hosts.names.empty()) return std::vector<bool>(hosts.names.size(), false);
  std::vector<bool> inside = none_inside_but_empty(hosts);
  std::size_t lengths = 0, host_bytes = 0, down_bytes = 0;
  for (std::size_t length = 1; length < hosts.has_length.size(); ++length) lengths += hosts.has_length[length];
  for (const string_view name : hosts.names) host_bytes += name.size();
  for (const string_view down : down_hosts) down_bytes += down.size();
  if (lengths * down_bytes <= AUTOMATON_STEP_COST * (host_bytes + down_bytes))
    mark_inside_by_windows(hosts, down_hosts, inside, stop);
  else
    mark_inside_by_automaton(hosts, down_hosts, inside, stop);
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
        if (const std::uint32_t host = hosts.find(name, folded_hash(name)); host != NO_HOST) file(host, l);
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

