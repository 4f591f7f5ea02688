#include "check/combined_check.h"

#include <algorithm>
#include <vector>

namespace {

using std::string;
using std::string_view;

// Higher is worse.
int weight(int status) {
  switch (status) {
    case CHECK_BANNER: return 3;
    case CHECK_UNFINISHED: return 2;
    case CHECK_NOTED: return 1;
    default: return 0;
  }
}

// A label as the plugin convention quotes it: a quote doubled; '=' ends a
// label and '|' the performance data, so neither may stand in one.
string quoted_label(string_view name, string_view label) {
  string quoted = "'";
  for (const char c : string(name) + "::" + string(label)) {
    if (c == '\'') quoted += "''";
    else if (c == '=' || c == '|') quoted += '_';
    else quoted += c;
  }
  return quoted + "'";
}

}  // namespace

int worse_status(int a, int b) { return weight(b) > weight(a) ? b : a; }

string_view check_summary(const CheckReport& report) {
  const string_view text = report.text;
  const string_view first = text.substr(0, std::min(text.find('\n'), text.size()));
  const std::size_t dash = first.find(" - ");
  return dash == string_view::npos ? first : first.substr(dash + 3);
}

string named_perfdata(string_view name, string_view perfdata) {
  string named;
  while (!perfdata.empty()) {
    const std::size_t blank = std::min(perfdata.find(' '), perfdata.size());
    const string_view item = perfdata.substr(0, blank);
    const std::size_t equals = std::min(item.find('='), item.size());
    // Appended piece by piece: joined temporaries trip a false -Wrestrict
    // alarm of g++ 12 at -O2 and above.
    if (!named.empty()) named.push_back(' ');
    named.append(quoted_label(name, item.substr(0, equals))).append(item.substr(equals));
    perfdata.remove_prefix(std::min(blank + 1, perfdata.size()));
  }
  return named;
}

CheckReport combine_checks(std::span<const NamedCheck> checks) {
  CheckReport combined;
  combined.status = CHECK_OK;
  std::vector<const NamedCheck*> not_ok;
  for (const NamedCheck& check : checks) {
    combined.status = worse_status(combined.status, check.report.status);
    if (check.report.status != CHECK_OK) not_ok.push_back(&check);
  }
  std::stable_sort(not_ok.begin(), not_ok.end(), [](const NamedCheck* a, const NamedCheck* b) {
    return weight(a->report.status) > weight(b->report.status);
  });
  const string count = std::to_string(checks.size() - not_ok.size()) + " of " + std::to_string(checks.size()) +
                       " servers OK";
  string summary = count;
  for (const NamedCheck* check : not_ok)
    summary += "; " + string(check->name) + ": " + string(check_summary(check->report));
  // Each server's performance data whole, in the first line while the
  // summary keeps half of it (or all it needs, or at least the count, with
  // "..." and " | " after it), the rest at the end.
  const std::size_t head = plugin_line(combined.status, summary).size() - 1;
  const std::size_t least = plugin_line(combined.status, count).size() - 1 + 3;
  const std::size_t room = std::min(head, std::max(least, FIRST_LINE_LIMIT / 2)) + 3;
  for (const NamedCheck& check : checks) {
    if (check.report.perfdata.empty()) continue;
    const string named = named_perfdata(check.name, check.report.perfdata);
    string& into = combined.more_perfdata.empty() &&
                           room + combined.perfdata.size() + 1 + named.size() <= FIRST_LINE_LIMIT
                       ? combined.perfdata
                       : combined.more_perfdata;
    into += (into.empty() ? "" : " ") + named;
  }
  combined.text = plugin_line(combined.status, summary);
  for (const NamedCheck& check : checks) combined.text += "server " + string(check.name) + ":\n" + check.report.text;
  return combined;
}
