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

constexpr short ALARM_PAIR = 7;

struct StatusWord {
  std::string_view text;
  int colour_index;
};

StatusWord status_word(unsigned tokens) {
  if (tokens & TOKEN_WRN) return {"WARNING", 1};
  if (tokens & TOKEN_CRI) return {"CRITICAL", 2};
  return {"UNKNOWN", 3};
}

}  // namespace

void reference_render_problems(const std::vector<ProblemLine>& problem_lines, const ExcludeList& excludes,
                     bool newcgi, Frame& frame) {
  // The DOWN and UNREACHABLE hosts, collected first so that every group can
  // be checked against them.
  std::vector<std::string_view> down_hosts;
  for (const ProblemLine& line : problem_lines) {
    if (!(line.tokens & (TOKEN_DWN | TOKEN_UNR))) continue;
    const std::string_view host = extract_field(line.text, HOST_FIELD, newcgi);
    if (host_is_excluded(excludes, host)) continue;
    frame.background = ALARM_PAIR;
    down_hosts.push_back(host);
  }

  std::string_view last_host;  // the host whose service group was drawn last
  for (const ProblemLine& line : problem_lines) {
    const bool down = line.tokens & TOKEN_DWN;
    const bool unreachable = line.tokens & TOKEN_UNR;
    if (!down && !unreachable && !(line.tokens & SERVICE_TOKENS)) continue;
    const std::string_view host =
        extract_field(line.text, down || unreachable ? HOST_FIELD : HOST_BEFORE_SERVICE, newcgi);
    if (host == last_host) continue;
    if (host_is_excluded(excludes, host)) continue;

    bool host_down = false;
    for (const std::string_view down_host : down_hosts)
      if (contains_ignoring_case(down_host, host)) host_down = true;
    if (down) {
      put_label(frame, host, 2, HOST_LABEL);
      host_down = true;
    }
    if (unreachable) {
      put_label(frame, host, 3, HOST_LABEL);
      continue;
    }
    // A DOWN host, and any host whose name lies inside a DOWN or UNREACHABLE
    // host's name, gets no service rows.
    if (host_down) continue;

    // The service scan covers the whole table, so a host's group is complete
    // wherever it starts.
    const std::string key = "value='" + std::string(host) + "'/>";
    bool header_drawn = false;
    for (const ProblemLine& candidate : problem_lines) {
      if (!(candidate.tokens & SERVICE_TOKENS)) continue;
      if (!contains_ignoring_case(candidate.text, key)) continue;
      const std::string_view service = extract_field(candidate.text, SERVICE_FIELD, newcgi);
      if (service_is_excluded(excludes, service)) {
        // The host label is drawn again above the next service shown.
        header_drawn = false;
        continue;
      }
      if (!header_drawn) {
        put_label(frame, host, 0, HOST_LABEL);
        last_host = host;
      }
      const StatusWord word = status_word(candidate.tokens);
      put_label(frame, word.text, word.colour_index, STATUS_LABEL);
      put_service_name(frame, service);
      header_drawn = true;
    }
  }
}
