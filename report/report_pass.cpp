#include "report/report_pass.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "common/text_search.h"
#include "config/exclude_list.h"
#include "report/field_extraction.h"

// The report is drawn in two phases: the DOWN and UNREACHABLE hosts first
// (they turn the screen red and silence every host whose name lies inside
// theirs), then every line in page order, each host with service problems
// followed by all its service lines found anywhere in the table.
//
// Done naively, each group scans the whole table for its key
// "value='<host>'/>" and each host is compared with every DOWN host, which is
// quadratic and far too slow for the page of a mass outage. Instead every
// line is read a fixed number of times: the hosts are numbered once (without
// regard to case, as the key test ignores case), each service line is filed
// under the hosts whose key it holds, and the DOWN-host test is answered once
// per host. The frame drawn is the same, label for label.

namespace {

using std::string_view;

constexpr short ALARM_PAIR = 7;
constexpr std::uint32_t NONE = UINT32_MAX;
constexpr string_view KEY_START = "value='";
constexpr string_view KEY_END = "'/>";

// Lines holding more (key start, key end) pairs than this are matched the
// slow way, so that a hostile line cannot make the index quadratic.
constexpr std::size_t PAIR_BUDGET = 1u << 14;

// A polynomial hash of the case-folded text, so that windows can be rolled.
constexpr std::uint64_t HASH_BASE = 0x100000001b3ULL;

std::uint64_t folded_hash(string_view text) {
  std::uint64_t hash = 0;
  for (const char c : text) hash = hash * HASH_BASE + fold_ascii(static_cast<unsigned char>(c));
  return hash;
}

bool equal_ignoring_case(string_view a, string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (fold_ascii(static_cast<unsigned char>(a[i])) != fold_ascii(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// The hosts that may get a service scan, numbered without regard to case.
struct HostTable {
  std::vector<string_view> names;  // the first spelling met
  std::unordered_multimap<std::uint64_t, std::uint32_t> by_hash;
  std::vector<bool> has_length;  // has_length[n]: some host is n characters long

  std::uint32_t find(string_view text, std::uint64_t hash) const {
    const auto [first, last] = by_hash.equal_range(hash);
    for (auto it = first; it != last; ++it)
      if (equal_ignoring_case(names[it->second], text)) return it->second;
    return NONE;
  }

  std::uint32_t insert(string_view text) {
    const std::uint64_t hash = folded_hash(text);
    if (const std::uint32_t found = find(text, hash); found != NONE) return found;
    const auto id = static_cast<std::uint32_t>(names.size());
    names.push_back(text);
    by_hash.emplace(hash, id);
    if (has_length.size() <= text.size()) has_length.resize(text.size() + 1, false);
    has_length[text.size()] = true;
    return id;
  }
};

// What phase 2 reads of each line, taken out once.
struct LineHost {
  string_view host;  // by the line's own mode; empty when it does not match
  bool matched;
  bool excluded;
  std::uint32_t group;  // NONE unless the host may get a service scan
};

// The service name of a line, taken out the first time a group shows it.
struct LineService {
  bool known = false;
  bool matched = false;
  bool excluded = false;
  string_view name;
};

// For each host, which of its names lie inside a DOWN or UNREACHABLE host's
// name: every window of every such name is looked up among the hosts of its
// length, one length at a time.
std::vector<bool> hosts_inside(const HostTable& hosts, const std::vector<string_view>& down_hosts) {
  std::vector<bool> inside(hosts.names.size(), false);
  if (down_hosts.empty()) return inside;
  for (std::size_t length = 0; length < hosts.has_length.size(); ++length) {
    if (!hosts.has_length[length]) continue;
    if (length == 0) {  // the empty text lies inside every name
      if (const std::uint32_t id = hosts.find({}, 0); id != NONE) inside[id] = true;
      continue;
    }
    std::uint64_t top = 1;  // HASH_BASE^(length - 1)
    for (std::size_t i = 1; i < length; ++i) top *= HASH_BASE;
    for (const string_view down : down_hosts) {
      if (down.size() < length) continue;
      std::uint64_t hash = folded_hash(down.substr(0, length));
      for (std::size_t start = 0;; ++start) {
        const std::uint32_t id = hosts.find(down.substr(start, length), hash);
        if (id != NONE) inside[id] = true;
        if (start + length == down.size()) break;
        hash = (hash - fold_ascii(static_cast<unsigned char>(down[start])) * top) * HASH_BASE +
               fold_ascii(static_cast<unsigned char>(down[start + length]));
      }
    }
  }
  return inside;
}

// The service lines of each host, in table order: a line belongs to a host
// when it holds "value='<host>'/>" without regard to case. Such a text can
// only start right after a "value='" of the line and end at one of its
// "'/>", and both are anchored at a quote, so each line is read once and
// only the pairs of such places whose distance is a host's length are
// looked up.
struct ServiceIndex {
  std::vector<std::uint32_t> start;  // lines of host g: line[start[g] .. start[g + 1])
  std::vector<std::uint32_t> line;
};

ServiceIndex index_service_lines(const std::vector<ProblemLine>& lines, const HostTable& hosts) {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> filed;  // (host, line), in line order
  std::vector<std::uint32_t> last_line(hosts.names.size(), NONE);
  std::vector<std::string> keys;  // built only if some line is too tangled for the index
  std::vector<std::size_t> value_starts, key_ends;
  const auto file = [&](std::uint32_t host, std::uint32_t line) {
    if (last_line[host] == line) return;
    last_line[host] = line;
    filed.emplace_back(host, line);
  };

  for (std::uint32_t l = 0; l < lines.size(); ++l) {
    if (!(lines[l].tokens & SERVICE_TOKENS)) continue;
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
      if (keys.empty())
        for (const string_view name : hosts.names) keys.push_back(std::string(KEY_START) + std::string(name) + std::string(KEY_END));
      for (std::uint32_t host = 0; host < keys.size(); ++host)
        if (contains_ignoring_case(text, keys[host])) file(host, l);
      continue;
    }
    for (const std::size_t value : value_starts)
      for (const std::size_t end : key_ends) {
        if (end < value) continue;
        const std::size_t length = end - value;
        if (length >= hosts.has_length.size()) break;
        if (!hosts.has_length[length]) continue;
        const string_view name = text.substr(value, length);
        if (const std::uint32_t host = hosts.find(name, folded_hash(name)); host != NONE) file(host, l);
      }
  }

  // A stable counting sort by host keeps each host's lines in table order.
  ServiceIndex index;
  index.start.assign(hosts.names.size() + 1, 0);
  for (const auto& [host, line] : filed) ++index.start[host + 1];
  for (std::size_t h = 0; h < hosts.names.size(); ++h) index.start[h + 1] += index.start[h];
  index.line.resize(filed.size());
  std::vector<std::uint32_t> next(index.start.begin(), index.start.end() - 1);
  for (const auto& [host, line] : filed) index.line[next[host]++] = line;
  return index;
}

struct StatusWord {
  string_view text;
  int colour_index;
};

StatusWord status_word(unsigned tokens) {
  if (tokens & TOKEN_WRN) return {"WARNING", 1};
  if (tokens & TOKEN_CRI) return {"CRITICAL", 2};
  return {"UNKNOWN", 3};
}

}  // namespace

void render_problems(const std::vector<ProblemLine>& problem_lines, const ExcludeList& excludes, bool newcgi,
                     Frame& frame) {
  const std::size_t count = problem_lines.size();
  std::vector<LineHost> line_hosts(count);
  for (std::size_t i = 0; i < count; ++i) {
    const ProblemLine& line = problem_lines[i];
    const int mode = (line.tokens & (TOKEN_DWN | TOKEN_UNR)) ? HOST_FIELD : HOST_BEFORE_SERVICE;
    const auto host = match_field(line.text, mode, newcgi);
    const string_view name = host.value_or(string_view{});
    line_hosts[i] = {name, host.has_value(), host_is_excluded(excludes, name), NONE};
  }

  // Phase 1: the DOWN and UNREACHABLE hosts.
  std::vector<string_view> down_hosts;
  for (std::size_t i = 0; i < count; ++i) {
    if (!(problem_lines[i].tokens & (TOKEN_DWN | TOKEN_UNR))) continue;
    const LineHost& line = line_hosts[i];
    if (!line.matched) report_no_match();
    if (line.excluded) continue;
    frame.background = ALARM_PAIR;
    down_hosts.push_back(line.host);
  }

  HostTable hosts;
  for (std::size_t i = 0; i < count; ++i)
    if (!(problem_lines[i].tokens & (TOKEN_DWN | TOKEN_UNR)) && !line_hosts[i].excluded)
      line_hosts[i].group = hosts.insert(line_hosts[i].host);
  const std::vector<bool> host_inside_down = hosts_inside(hosts, down_hosts);
  const ServiceIndex index = index_service_lines(problem_lines, hosts);
  std::vector<LineService> services(count);

  // Phase 2: drawing, in page order.
  string_view last_host;  // the host whose service group was drawn last
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned tokens = problem_lines[i].tokens;
    const LineHost& line = line_hosts[i];
    if (!line.matched) report_no_match();
    if (line.host == last_host) continue;
    if (line.excluded) continue;
    if (tokens & TOKEN_DWN) put_label(frame, line.host, 2, HOST_LABEL);
    if (tokens & TOKEN_UNR) {
      put_label(frame, line.host, 3, HOST_LABEL);
      continue;
    }
    // A DOWN host, and any host whose name lies inside a DOWN or UNREACHABLE
    // host's name, gets no service rows.
    if ((tokens & TOKEN_DWN) || host_inside_down[line.group]) continue;

    bool header_drawn = false;
    for (std::uint32_t k = index.start[line.group]; k < index.start[line.group + 1]; ++k) {
      const std::uint32_t j = index.line[k];
      LineService& service = services[j];
      if (!service.known) {
        const auto name = match_field(problem_lines[j].text, SERVICE_FIELD, newcgi);
        service = {true, name.has_value(), false, name.value_or(string_view{})};
        service.excluded = service_is_excluded(excludes, service.name);
      }
      if (!service.matched) report_no_match();
      if (service.excluded) {
        // The host label is drawn again above the next service shown.
        header_drawn = false;
        continue;
      }
      if (!header_drawn) {
        put_label(frame, line.host, 0, HOST_LABEL);
        last_host = line.host;
      }
      const StatusWord word = status_word(problem_lines[j].tokens);
      put_label(frame, word.text, word.colour_index, STATUS_LABEL);
      put_service_name(frame, service.name);
      header_drawn = true;
    }
  }
}
