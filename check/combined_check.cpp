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

namespace {

// Bytes a cause keeps before it is dropped: a cut shorter than this says
// nothing ("connection r...").
constexpr std::size_t CAUSE_LEAST = 16;
constexpr string_view CUT = "...";

// text up to limit bytes, "..." ending it when cut; no UTF-8 sequence split.
string shortened(string_view text, std::size_t limit) {
  if (text.size() <= limit) return string(text);
  std::size_t keep = limit > CUT.size() ? limit - CUT.size() : 0;
  while (keep > 0 && (static_cast<unsigned char>(text[keep]) & 0xC0) == 0x80) --keep;
  return string(text.substr(0, keep)).append(CUT);
}

// A server's cause as its part of the first line carries it: no ";" (a
// monitoring server turns it into ":", and "; " parts the count from the
// servers), and each "|" already the broken bar the output shows.
string first_line_cause(const CheckReport& report) {
  const string_view cause = report.cause.empty() ? check_summary(report) : string_view(report.cause);
  string carried;
  for (const char c : cause) {
    if (c == ';') carried.push_back(',');
    else if (c == '|') carried.append("\xC2\xA6");
    else carried.push_back(c);
  }
  return carried;
}

// The failing servers' parts, "name: cause" joined by ", ", within budget
// bytes: each cause whole, else all cut to one length (no shorter than
// CAUSE_LEAST), else the last ones' dropped, then the last names too, told
// as "+N more". Sizes are summed once, so that the cost stays linear in the
// number of servers.
string failing_parts(const std::vector<string_view>& names, const std::vector<string>& causes, std::size_t budget) {
  const std::size_t n = names.size();
  std::size_t longest = 0;
  for (const string& cause : causes) longest = std::max(longest, cause.size());
  const std::size_t least = std::min(longest, CAUSE_LEAST);
  // named[i]: the bytes of the first i names and the ", " between them;
  // caused[i]: those of the first i causes at least, each with its ": ".
  std::vector<std::size_t> named(n + 1, 0), caused(n + 1, 0);
  for (std::size_t i = 0; i < n; ++i) {
    named[i + 1] = named[i] + (i ? 2 : 0) + names[i].size();
    caused[i + 1] = caused[i] + 2 + std::min(causes[i].size(), least);
  }
  const auto more = [n](std::size_t shown) {  // ", +N more"
    return shown == n ? 0 : (shown ? 2 : 0) + 1 + std::to_string(n - shown).size() + 5;
  };
  const auto with_causes_cut_to = [&](std::size_t cap) {
    std::size_t bytes = named[n];
    for (const string& cause : causes) bytes += 2 + std::min(cause.size(), cap);
    return bytes;
  };
  const auto made = [&](std::size_t cap, std::size_t with, std::size_t shown) {
    string parts;
    for (std::size_t i = 0; i < shown; ++i) {
      parts.append(i ? ", " : "").append(names[i]);
      if (i < with) parts.append(": ").append(shortened(causes[i], cap));
    }
    if (shown < n) parts.append(shown ? ", " : "").append("+" + std::to_string(n - shown) + " more");
    return parts;
  };
  if (with_causes_cut_to(least) <= budget) {
    // The longest cut that fits: the size grows with the cut's length.
    std::size_t fits = least, over = longest + 1;
    while (over - fits > 1) {
      const std::size_t cap = fits + (over - fits) / 2;
      (with_causes_cut_to(cap) <= budget ? fits : over) = cap;
    }
    return made(fits, n, n);
  }
  for (std::size_t with = n; with-- > 0;)
    if (named[n] + caused[with] <= budget) return made(least, with, n);
  for (std::size_t shown = n; shown-- > 0;)
    if (named[shown] + more(shown) <= budget) return made(0, 0, shown);
  return made(0, 0, 0);
}

}  // namespace

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
  // The failing servers lead, each with its cause, within the first line's
  // bound: what the monitoring server lists is why, and where.
  string summary = count;
  if (!not_ok.empty()) {
    std::vector<string_view> names;
    std::vector<string> causes;
    for (const NamedCheck* check : not_ok) {
      names.push_back(check->name);
      causes.push_back(first_line_cause(check->report));
    }
    const std::size_t head = plugin_line(combined.status, "").size() - 1;
    const std::size_t tail = 2 + count.size();
    const std::size_t budget = FIRST_LINE_LIMIT > head + tail ? FIRST_LINE_LIMIT - head - tail : 0;
    summary = failing_parts(names, causes, budget) + "; " + count;
  }
  // Each server's performance data whole, in the first line while it fits
  // after the summary, the rest at the end.
  const std::size_t room = plugin_line(combined.status, summary).size() - 1 + 3;
  for (const NamedCheck& check : checks) {
    if (check.report.perfdata.empty()) continue;
    const string named = named_perfdata(check.name, check.report.perfdata);
    string& into = combined.more_perfdata.empty() &&
                           room + combined.perfdata.size() + (combined.perfdata.empty() ? 0 : 1) + named.size() <=
                               FIRST_LINE_LIMIT
                       ? combined.perfdata
                       : combined.more_perfdata;
    into += (into.empty() ? "" : " ") + named;
  }
  combined.text = plugin_line(combined.status, summary);
  for (const NamedCheck& check : checks) combined.text += "server " + string(check.name) + ":\n" + check.report.text;
  return combined;
}
