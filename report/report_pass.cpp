#include "report/report_pass.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "common/keyed_hash.h"
#include "config/exclude_list.h"
#include "report/host_index.h"

// The report is made in two phases: the DOWN and UNREACHABLE hosts first
// (they raise the alarm and silence their own hosts' services), then every
// line in page order, each host with service problems followed, at its
// first line, by all its service lines found anywhere in the table.
//
// Names read whole (from rows and cells) are compared whole and exactly: a
// host's group is the service lines of that very host, a DOWN host silences
// itself only. Names read by the extraction patterns keep the patterns'
// rules: a group is the lines holding "value='<host>'/>" without regard to
// case, and a host inside a DOWN host's name is silenced with it. Each kind
// of line is compared with its own kind. The indexes of host_index.h answer
// the table-wide questions once, so the report is the same, item for item,
// as that of the straightforward pass.

namespace {

using std::string_view;

// What phase 2 reads of each line, worked out once.
struct LineHost {
  bool excluded = false;
  std::uint32_t group = NO_HOST;  // the host's number among the hosts of its kind of name
};

constexpr unsigned HOST_TOKENS = TOKEN_DWN | TOKEN_UNR;

// The hosts read whole, numbered by their exact spelling, with their
// service lines. Keyed hashes: the page chooses the names.
struct WholeHosts {
  std::unordered_map<string_view, std::uint32_t, KeyedTextHash> number;
  std::unordered_set<string_view, KeyedTextHash> down;
  ServiceIndex index;
};

// The DOWN and UNREACHABLE lines numbered by their host's exact spelling
// (NO_HOST for other lines), and how many hosts there are: a label is drawn
// once per number. The lines are sorted by host once, so that equal hosts
// stand together.
std::pair<std::vector<std::uint32_t>, std::size_t> label_hosts(const std::vector<ProblemLine>& lines,
                                                               const std::vector<LineNames>& names) {
  std::vector<std::uint32_t> number(lines.size(), NO_HOST);
  std::vector<std::uint32_t> host_lines;
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i].tokens & HOST_TOKENS) host_lines.push_back(static_cast<std::uint32_t>(i));
  std::stable_sort(host_lines.begin(), host_lines.end(),
                   [&](std::uint32_t a, std::uint32_t b) { return names[a].host < names[b].host; });
  std::size_t hosts = 0;
  for (std::size_t k = 0; k < host_lines.size(); ++k) {
    if (k == 0 || names[host_lines[k - 1]].host != names[host_lines[k]].host) ++hosts;
    number[host_lines[k]] = static_cast<std::uint32_t>(hosts - 1);
  }
  return {std::move(number), hosts};
}

// The groups of hosts read by the patterns made so far, by exact spelling:
// the spellings of each group (numbered without regard to case), chained
// per group, so a look-up reads that group's spellings only.
struct PatternGroupsMade {
  std::vector<std::uint32_t> last;  // per group: its last spelling made, or NO_HOST
  std::vector<std::pair<string_view, std::uint32_t>> spellings;  // a spelling, the one made before it in its group
  explicit PatternGroupsMade(std::size_t groups) : last(groups, NO_HOST) {}
  // Whether host's group was made before; if not, it counts as made now.
  bool made_before(std::uint32_t group, string_view host) {
    for (std::uint32_t k = last[group]; k != NO_HOST; k = spellings[k].second)
      if (spellings[k].first == host) return true;
    spellings.emplace_back(host, last[group]);
    last[group] = static_cast<std::uint32_t>(spellings.size() - 1);
    return false;
  }
};

}  // namespace

Report render_problems(const std::vector<ProblemLine>& problem_lines, const std::vector<LineNames>& names,
                       const ExcludeList& excludes, StopFlag stop) {
  Report report;
  const std::size_t count = problem_lines.size();
  std::vector<LineHost> line_hosts(count);
  std::vector<bool> excluded_service(count, false);
  for (std::size_t i = 0; i < count; ++i) {
    // A line's names may be long and the exclude list too: looked at per line.
    if (stop_asked(stop)) return report;
    line_hosts[i].excluded = host_is_excluded(excludes, names[i].host);
    if (problem_lines[i].tokens & SERVICE_TOKENS) excluded_service[i] = service_is_excluded(excludes, names[i].service);
    if (!names[i].any()) ++report.unmatched;
  }

  // Phase 1: the DOWN and UNREACHABLE hosts.
  std::vector<string_view> down_by_pattern;
  WholeHosts whole;
  for (std::size_t i = 0; i < count; ++i) {
    if (!(problem_lines[i].tokens & HOST_TOKENS)) continue;
    if (line_hosts[i].excluded) {
      ++report.excluded_hosts;
      continue;
    }
    report.alarm = true;
    if (names[i].whole)
      whole.down.insert(names[i].host);
    else
      down_by_pattern.push_back(names[i].host);
  }

  // The hosts that may get a service scan, and their service lines.
  HostTable by_pattern;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> filed;  // (whole host, service line)
  for (std::size_t i = 0; i < count; ++i) {
    if ((problem_lines[i].tokens & HOST_TOKENS) || line_hosts[i].excluded) continue;
    if (!names[i].whole) {
      line_hosts[i].group = by_pattern.insert(names[i].host);
      continue;
    }
    const auto [at, added] = whole.number.try_emplace(names[i].host, static_cast<std::uint32_t>(whole.number.size()));
    line_hosts[i].group = at->second;
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (!(problem_lines[i].tokens & SERVICE_TOKENS) || !names[i].whole) continue;
    if (const auto host = whole.number.find(names[i].host); host != whole.number.end())
      filed.emplace_back(host->second, static_cast<std::uint32_t>(i));
  }
  whole.index = index_by_host(filed, whole.number.size());
  std::vector<bool> read_by_pattern(count);
  for (std::size_t i = 0; i < count; ++i) read_by_pattern[i] = !names[i].whole;
  const std::vector<bool> inside_down = hosts_inside(by_pattern, down_by_pattern, stop);
  if (stop_asked(stop)) return report;
  const ServiceIndex pattern_index = index_service_lines(problem_lines, read_by_pattern, by_pattern, stop);
  if (stop_asked(stop)) return report;
  std::vector<bool> counted(count, false);  // excluded service lines already counted
  // Most pages show each group once: a line and a header per service found.
  // Reserving that keeps a long report from being copied as it grows.
  report.items.reserve(count + whole.index.line.size() + pattern_index.line.size());

  // Phase 2: the items, in page order. Each problem is shown once: a DOWN
  // or UNREACHABLE label once for its host, a host's group at the host's
  // first line, also where the page does not keep a host's lines together.
  string_view last_host;  // the host whose service group was made last
  const auto [label_host, label_host_count] = label_hosts(problem_lines, names);
  std::vector<unsigned> labelled(label_host_count, 0);  // the labels each host has had
  std::vector<bool> whole_made(whole.number.size(), false);  // by whole host
  PatternGroupsMade pattern_made(by_pattern.names.size());
  for (std::size_t i = 0; i < count; ++i) {
    // A line may bring a long group of service lines: looked at per line.
    if (stop_asked(stop)) return report;
    const unsigned tokens = problem_lines[i].tokens;
    const LineHost& line = line_hosts[i];
    const string_view host = names[i].host;
    if (line.excluded && !(tokens & HOST_TOKENS)) ++report.excluded_services;
    if (host == last_host) continue;
    if (line.excluded) continue;
    if (tokens & HOST_TOKENS) {
      unsigned& had = labelled[label_host[i]];
      if ((tokens & TOKEN_DWN) && !(had & TOKEN_DWN)) report.items.push_back({host, ReportItemKind::DOWN_HOST, {}});
      if ((tokens & TOKEN_UNR) && !(had & TOKEN_UNR))
        report.items.push_back({host, ReportItemKind::UNREACHABLE_HOST, {}});
      had |= tokens & HOST_TOKENS;
    }
    if (tokens & TOKEN_UNR) continue;
    if (tokens & TOKEN_DWN) continue;
    const bool silenced = names[i].whole ? whole.down.contains(host) : inside_down[line.group];
    if (silenced) continue;
    // The group holds the host's service lines from the whole table: made
    // at the host's first line, it is not made again.
    if (names[i].whole ? whole_made[line.group] : pattern_made.made_before(line.group, host)) continue;
    if (names[i].whole) whole_made[line.group] = true;

    const ServiceIndex& index = names[i].whole ? whole.index : pattern_index;
    bool header_made = false;
    for (std::uint32_t k = index.start[line.group]; k < index.start[line.group + 1]; ++k) {
      const std::uint32_t j = index.line[k];
      if (excluded_service[j]) {
        if (!counted[j]) ++report.excluded_services;
        counted[j] = true;
        // The host label is shown again above the next service shown.
        header_made = false;
        continue;
      }
      if (!header_made) {
        report.items.push_back({host, ReportItemKind::HOST, {}});
        last_host = host;
      }
      report.items.push_back({names[j].service, ReportItemKind::SERVICE, service_status(problem_lines[j].tokens)});
      report.unread_services += !names[j].service_read;
      header_made = true;
    }
  }
  return report;
}

ServiceStatus service_status(unsigned tokens) {
  if (tokens & TOKEN_WRN) return ServiceStatus::WARNING;
  if (tokens & TOKEN_CRI) return ServiceStatus::CRITICAL;
  return ServiceStatus::UNKNOWN;
}
