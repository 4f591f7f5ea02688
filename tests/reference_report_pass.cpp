// The report pass written the straightforward way: every group scans the
// whole table and every host is compared with every DOWN host. Quadratic, and
// kept only as the yardstick the real pass is compared against.
#include "reference_report_pass.h"

#include <string>
#include <string_view>

#include "common/text_search.h"
#include "config/exclude_list.h"

namespace {

// The exclude rules read plainly from the entries, independent of the
// indexes the real lookups use.
bool host_is_excluded_plainly(const ExcludeList& excludes, std::string_view host) {
  for (const std::string_view entry : exclude_entries(excludes))
    if (entry == host) return true;
  return false;
}

bool service_is_excluded_plainly(const ExcludeList& excludes, std::string_view service) {
  for (const std::string_view entry : exclude_entries(excludes))
    if (contains_ignoring_case(service, entry)) return true;
  return false;
}

ServiceStatus service_status(unsigned tokens) {
  if (tokens & TOKEN_WRN) return ServiceStatus::WARNING;
  if (tokens & TOKEN_CRI) return ServiceStatus::CRITICAL;
  return ServiceStatus::UNKNOWN;
}

}  // namespace

Report reference_render_problems(const std::vector<ProblemLine>& problem_lines, const std::vector<LineNames>& names,
                                 const ExcludeList& excludes) {
  Report report;
  for (const LineNames& line_names : names) report.unmatched += !line_names.any();
  // The DOWN and UNREACHABLE hosts, collected first so that every group can
  // be checked against them.
  std::vector<std::size_t> down_lines;
  for (std::size_t i = 0; i < problem_lines.size(); ++i) {
    if (!(problem_lines[i].tokens & (TOKEN_DWN | TOKEN_UNR))) continue;
    if (host_is_excluded_plainly(excludes, names[i].host)) continue;
    report.alarm = true;
    down_lines.push_back(i);
  }

  std::string_view last_host;  // the host whose service group was made last
  std::vector<std::pair<bool, std::string_view>> labelled;     // (DOWN, host) labels made
  std::vector<std::pair<bool, std::string_view>> groups_made;  // (read whole, host) groups made
  for (std::size_t i = 0; i < problem_lines.size(); ++i) {
    const ProblemLine& line = problem_lines[i];
    const bool down = line.tokens & TOKEN_DWN;
    const bool unreachable = line.tokens & TOKEN_UNR;
    const std::string_view host = names[i].host;
    const bool whole = names[i].whole;
    if (host == last_host) continue;
    if (host_is_excluded_plainly(excludes, host)) continue;

    // Whole names silence their very host; names read by the patterns every
    // host inside theirs. Each kind of name meets only its own kind.
    bool host_down = false;
    for (const std::size_t d : down_lines) {
      if (names[d].whole != whole) continue;
      if (whole ? names[d].host == host : contains_ignoring_case(names[d].host, host)) host_down = true;
    }
    // Each label once for its host, each group at its host's first line.
    const auto first_time = [](std::vector<std::pair<bool, std::string_view>>& seen, bool kind, std::string_view name) {
      for (const auto& one : seen)
        if (one.first == kind && one.second == name) return false;
      seen.emplace_back(kind, name);
      return true;
    };
    if (down) {
      if (first_time(labelled, true, host)) report.items.push_back({host, ReportItemKind::DOWN_HOST, {}});
      host_down = true;
    }
    if (unreachable) {
      if (first_time(labelled, false, host)) report.items.push_back({host, ReportItemKind::UNREACHABLE_HOST, {}});
      continue;
    }
    if (host_down) continue;
    if (!first_time(groups_made, whole, host)) continue;

    // The service scan covers the whole table, so a host's group is complete
    // wherever it starts.
    const std::string key = "value='" + std::string(host) + "'/>";
    bool header_made = false;
    for (std::size_t j = 0; j < problem_lines.size(); ++j) {
      if (!(problem_lines[j].tokens & SERVICE_TOKENS) || names[j].whole != whole) continue;
      if (whole ? names[j].host != host : !contains_ignoring_case(problem_lines[j].text, key)) continue;
      const std::string_view service = names[j].service;
      if (service_is_excluded_plainly(excludes, service)) {
        // The host label is shown again above the next service shown.
        header_made = false;
        continue;
      }
      if (!header_made) {
        report.items.push_back({host, ReportItemKind::HOST, {}});
        last_host = host;
      }
      report.items.push_back({service, ReportItemKind::SERVICE, service_status(problem_lines[j].tokens)});
      report.unread_services += !names[j].service_read;
      header_made = true;
    }
  }
  return report;
}
