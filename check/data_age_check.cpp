#include "check/data_age_check.h"

#include <cstdint>
#include <ctime>

#include "check/server_value.h"
#include "config/config_file.h"
#include "fetch/data_age.h"
#include "fetch/failure_words.h"

namespace {

using std::string;

// A time in milliseconds since the epoch, in local time.
string local_time(std::int64_t ms) {
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm local = {};
  char text[64];
  if (!localtime_r(&seconds, &local) || !std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %Z", &local))
    return std::to_string(ms) + " ms since the epoch";
  return text;
}

// 3,600,000 ms -> "3600 s (60 min)"; 2,500 -> "2.5 s".
string duration(std::int64_t ms) {
  const bool negative = ms < 0;
  const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(ms) : static_cast<std::uint64_t>(ms);
  string text = negative ? "-" : "";
  text += std::to_string(magnitude / 1000);
  // Appended piece by piece: "." + std::to_string(...) trips g++ 12's false
  // -Wrestrict alarm at -O2 and above.
  if (magnitude < 60000 && magnitude % 1000) text.append(".").append(std::to_string(magnitude % 1000 / 100));
  text += " s";
  if (magnitude >= 60000) text.append(" (").append(std::to_string(magnitude / 60000)).append(" min)");
  return text;
}

// "hosts visible to USER: N" when the JSON CGI counted them; with none, why
// a calm screen would mean nothing.
void explain_visible_hosts(const Settings& settings, const DataAgeFetch* fetched, bool user_hidden,
                           DataAgeExplained& result) {
  if (!fetched || !fetched->fetched.ok()) return;
  const DataAge& age = fetched->age;
  // No JSON status CGI there (or something else answering at its URL):
  // an older server, which says nothing of its users.
  if (!age.hosts && age.hosts_problem.empty()) return;
  const string key = "hosts visible to " + (settings.username.empty() ? string("(no user name)")
                                            : user_hidden              ? string("the user")
                                                                       : settings.username);
  if (!age.hosts) {
    result.lines.push_back({key, "unknown: " + age.hosts_problem});
    if (settings.max_age) result.hosts_unread = "the JSON answer's host count cannot be read: " + age.hosts_problem;
    return;
  }
  const VisibleHosts& hosts = *age.hosts;
  result.lines.push_back({key, std::to_string(hosts.total)});
  if (hosts.total == 0) {
    result.meaningless = "the server shows this user no hosts (none up, down, unreachable or pending), so its "
                         "list is always empty and an all-clear would mean nothing: let the user see the hosts "
                         "(as a contact of them, or authorised for all hosts)";
    // Without maxage the monitor itself never asks, and stays calm.
    if (!settings.max_age)
      result.meaningless += "; without a maxage line the monitor would show that empty list as all clear";
  }
}

}  // namespace

DataAgeExplained explain_data_age(const Settings& settings, const DataAgeFetch* fetched, bool drawn,
                                  bool user_hidden) {
  DataAgeExplained result;
  auto add = [&result](string key, string value) { result.lines.push_back({std::move(key), std::move(value)}); };
  explain_visible_hosts(settings, fetched, user_hidden, result);
  // Without a maxage line the check says nothing of the age, as the monitor
  // asks nothing.
  if (!settings.max_age) {
    if (!settings.max_age_value.empty())
      result.lines.push_back(pitfall("the maxage value \"" + settings.max_age_value +
                                     "\" is no number of seconds (or of minutes or hours, with m or h) up to " +
                                     std::to_string(MAX_AGE_LIMIT) + ": the data age is not checked"));
    return result;
  }
  const string max_age = std::to_string(*settings.max_age) + " s";
  add("maxage", max_age);
  if (!fetched || !drawn) {
    add("data age", "not asked: the list itself is not drawn");
    return result;
  }
  add("data age URL", without_credentials(settings.data_age_url));
  const FetchResult& answer = fetched->fetched;
  const DataAge& age = fetched->age;
  if (answer.ok() || answer.failure == FetchFailure::HTTP_STATUS)
    add("data age answer", (answer.status ? "HTTP status " + std::to_string(answer.status) + ", " : string()) +
                               std::to_string(answer.body_size) + " bytes");
  else
    add("data age answer", "none: " + failure_words(answer));
  if (age.query_time_ms && age.last_update_ms) {
    add("server time", local_time(*age.query_time_ms));
    add("status data last written", local_time(*age.last_update_ms));
  }
  add("program start", age.program_start_ms ? local_time(*age.program_start_ms) : "not in the answer");
  result.banner = status_data_banner(age, *settings.max_age);
  if (!age.age_ms) {
    add("data age", "unknown: " + age.problem);
    result.why = age.written_ahead
                     ? "the status data was last written after the server's own time: the server's clock stepped "
                       "back, or its status data was written in the future; no age can be told until the "
                       "server's clock passes that time"
                     : "the JSON status CGI gave no data age (" + age.problem +
                           "); check that statusjson.cgi answers at that URL to the same user";
  } else {
    const bool stale = data_age_banner(age, *settings.max_age).has_value();
    add("data age", duration(*age.age_ms) + (stale ? ", older than maxage " : ", within maxage ") + max_age);
    if (stale)
      result.why = "the status data is older than maxage: the monitoring program may have stopped or stopped "
                   "writing its status data, so the list shows an old picture";
    else if (result.banner)
      result.why = result.meaningless;
  }
  if (result.banner) result.meaningless.clear();
  return result;
}
