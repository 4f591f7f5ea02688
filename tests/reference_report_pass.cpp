// The report pass written the straightforward way: every group scans the
// whole table and every host is compared with every DOWN host. Quadratic, and
// kept only as the yardstick the real pass is compared against.
#include "reference_report_pass.h"

#include <string>
#include <string_view>

#include "common/text_search.h"
#include "config/exclude_list.h"
#include "report/field_extraction.h"

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

Report reference_render_problems(const std::vector<ProblemLine>& problem_lines, const ExcludeList& excludes,
                                 bool newcgi) {
  Report report;
  // The DOWN and UNREACHABLE hosts, collected first so that every group can
  // be checked against them.
  std::vector<std::string_view> down_hosts;
  for (const ProblemLine& line : problem_lines) {
    if (!(line.tokens & (TOKEN_DWN | TOKEN_UNR))) continue;
    const std::string_view host = extract_field(line.text, HOST_FIELD, newcgi, report.unmatched);
    if (host_is_excluded_plainly(excludes, host)) continue;
    report.alarm = true;
    down_hosts.push_back(host);
  }

  std::string_view last_host;  // the host whose service group was made last
  for (const ProblemLine& line : problem_lines) {
    const bool down = line.tokens & TOKEN_DWN;
    const bool unreachable = line.tokens & TOKEN_UNR;
    if (!down && !unreachable && !(line.tokens & SERVICE_TOKENS)) continue;
    const std::string_view host =
        extract_field(line.text, down || unreachable ? HOST_FIELD : HOST_BEFORE_SERVICE, newcgi, report.unmatched);
    if (host == last_host) continue;
    if (host_is_excluded_plainly(excludes, host)) continue;

    bool host_down = false;
    for (const std::string_view down_host : down_hosts)
      if (contains_ignoring_case(down_host, host)) host_down = true;
    if (down) {
      report.items.push_back({ReportItemKind::DOWN_HOST, host, {}});
      host_down = true;
    }
    if (unreachable) {
      report.items.push_back({ReportItemKind::UNREACHABLE_HOST, host, {}});
      continue;
    }
    // A DOWN host, and any host whose name lies inside a DOWN or UNREACHABLE
    // host's name, gets no service rows.
    if (host_down) continue;

    // The service scan covers the whole table, so a host's group is complete
    // wherever it starts.
    const std::string key = "value='" + std::string(host) + "'/>";
    bool header_made = false;
    for (const ProblemLine& candidate : problem_lines) {
      if (!(candidate.tokens & SERVICE_TOKENS)) continue;
      if (!contains_ignoring_case(candidate.text, key)) continue;
      const std::string_view service = extract_field(candidate.text, SERVICE_FIELD, newcgi, report.unmatched);
      if (service_is_excluded_plainly(excludes, service)) {
        // The host label is shown again above the next service shown.
        header_made = false;
        continue;
      }
      if (!header_made) {
        report.items.push_back({ReportItemKind::HOST, host, {}});
        last_host = host;
      }
      report.items.push_back({ReportItemKind::SERVICE, service, service_status(candidate.tokens)});
      header_made = true;
    }
  }
  return report;
}
