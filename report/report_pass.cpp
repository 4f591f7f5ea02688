#include "report/report_pass.h"

#include <cstdint>
#include <string_view>

#include "config/exclude_list.h"
#include "report/field_extraction.h"
#include "report/host_index.h"

// The report is made in two phases: the DOWN and UNREACHABLE hosts first
// (they raise the alarm and silence every host whose name lies inside
// theirs), then every line in page order, each host with service problems
// followed by all its service lines found anywhere in the table. The
// indexes of host_index.h answer the table-wide questions once, so the
// report is the same, item for item, as that of the straightforward pass.

namespace {

using std::string_view;

// What phase 2 reads of each line, taken out once.
struct LineHost {
  string_view host;  // by the line's own mode; empty when it does not match
  bool matched;
  bool excluded;
  std::uint32_t group;  // NO_HOST unless the host may get a service scan
};

// The service name of a line, taken out the first time a group shows it.
struct LineService {
  bool known = false;
  bool matched = false;
  bool excluded = false;
  string_view name;
};

ServiceStatus service_status(unsigned tokens) {
  if (tokens & TOKEN_WRN) return ServiceStatus::WARNING;
  if (tokens & TOKEN_CRI) return ServiceStatus::CRITICAL;
  return ServiceStatus::UNKNOWN;
}

}  // namespace

Report render_problems(const std::vector<ProblemLine>& problem_lines, const ExcludeList& excludes, bool newcgi) {
  Report report;
  // Most pages list each problem line once; growing past that is rare.
  report.items.reserve(problem_lines.size());
  const std::size_t count = problem_lines.size();
  std::vector<LineHost> line_hosts(count);
  for (std::size_t i = 0; i < count; ++i) {
    const ProblemLine& line = problem_lines[i];
    const int mode = (line.tokens & (TOKEN_DWN | TOKEN_UNR)) ? HOST_FIELD : HOST_BEFORE_SERVICE;
    const auto host = match_field(line.text, mode, newcgi);
    const string_view name = host.value_or(string_view{});
    line_hosts[i] = {name, host.has_value(), host_is_excluded(excludes, name), NO_HOST};
  }

  // Phase 1: the DOWN and UNREACHABLE hosts.
  std::vector<string_view> down_hosts;
  for (std::size_t i = 0; i < count; ++i) {
    if (!(problem_lines[i].tokens & (TOKEN_DWN | TOKEN_UNR))) continue;
    const LineHost& line = line_hosts[i];
    if (!line.matched) ++report.unmatched;
    report.excluded_hosts += line.excluded;
    if (line.excluded) continue;
    report.alarm = true;
    down_hosts.push_back(line.host);
  }

  HostTable hosts;
  for (std::size_t i = 0; i < count; ++i)
    if (!(problem_lines[i].tokens & (TOKEN_DWN | TOKEN_UNR)) && !line_hosts[i].excluded)
      line_hosts[i].group = hosts.insert(line_hosts[i].host);
  const std::vector<bool> host_inside_down = hosts_inside(hosts, down_hosts);
  const ServiceIndex index = index_service_lines(problem_lines, hosts);
  std::vector<LineService> services(count);

  // Phase 2: the items, in page order.
  string_view last_host;  // the host whose service group was made last
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned tokens = problem_lines[i].tokens;
    const LineHost& line = line_hosts[i];
    if (!line.matched) ++report.unmatched;
    if (line.excluded && !(tokens & (TOKEN_DWN | TOKEN_UNR))) ++report.excluded_services;
    if (line.host == last_host) continue;
    if (line.excluded) continue;
    if (tokens & TOKEN_DWN) report.items.push_back({ReportItemKind::DOWN_HOST, line.host, {}});
    if (tokens & TOKEN_UNR) {
      report.items.push_back({ReportItemKind::UNREACHABLE_HOST, line.host, {}});
      continue;
    }
    // A DOWN host, and any host whose name lies inside a DOWN or UNREACHABLE
    // host's name, gets no service rows.
    if ((tokens & TOKEN_DWN) || host_inside_down[line.group]) continue;

    bool header_made = false;
    for (std::uint32_t k = index.start[line.group]; k < index.start[line.group + 1]; ++k) {
      const std::uint32_t j = index.line[k];
      LineService& service = services[j];
      if (!service.known) {
        const auto name = match_field(problem_lines[j].text, SERVICE_FIELD, newcgi);
        service = {true, name.has_value(), false, name.value_or(string_view{})};
        service.excluded = service_is_excluded(excludes, service.name);
        report.excluded_services += service.excluded;
      }
      if (!service.matched) ++report.unmatched;
      if (service.excluded) {
        // The host label is shown again above the next service shown.
        header_made = false;
        continue;
      }
      if (!header_made) {
        report.items.push_back({ReportItemKind::HOST, line.host, {}});
        last_host = line.host;
      }
      report.items.push_back({ReportItemKind::SERVICE, service.name, service_status(problem_lines[j].tokens)});
      header_made = true;
    }
  }
  return report;
}
