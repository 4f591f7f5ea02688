#include "fetch/data_age.h"

#include <cmath>
#include <limits>
#include <utility>
#include <nlohmann/json.hpp>

#include "config/config_file.h"
#include "fetch/answer_kind.h"
#include "fetch/failure_words.h"
#include "fetch/server_transfer.h"

namespace {

using nlohmann::json;

// A time in milliseconds: a whole number, or a number with a fraction that
// still fits; nothing for any other value.
std::optional<std::int64_t> milliseconds(const json& value) {
  if (value.is_number_integer()) {
    if (value.is_number_unsigned() && value.get<std::uint64_t>() > std::numeric_limits<std::int64_t>::max())
      return std::nullopt;
    return value.get<std::int64_t>();
  }
  if (value.is_number_float()) {
    const double number = value.get<double>();
    if (!std::isfinite(number) || std::fabs(number) > 9.0e15) return std::nullopt;
    return static_cast<std::int64_t>(number);
  }
  return std::nullopt;
}

std::optional<std::int64_t> field(const json& object, const char* name) {
  if (!object.is_object()) return std::nullopt;
  const auto found = object.find(name);
  if (found == object.end()) return std::nullopt;
  return milliseconds(*found);
}

// A count of hosts: a whole number, not below 0.
std::optional<std::int64_t> host_count(const json& object, const char* name) {
  const auto found = object.find(name);
  if (found == object.end() || !found->is_number_integer()) return std::nullopt;
  if (found->is_number_unsigned())
    return found->get<std::uint64_t>() > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())
               ? std::nullopt
               : std::optional<std::int64_t>(found->get<std::int64_t>());
  const std::int64_t count = found->get<std::int64_t>();
  return count < 0 ? std::nullopt : std::optional<std::int64_t>(count);
}

// data.count of a hostcount answer: all four states, or why not.
void read_visible_hosts(const json* data, DataAge& age) {
  const json* count = nullptr;
  if (data) {
    const auto found = data->find("count");
    if (found != data->end() && found->is_object()) count = &*found;
  }
  if (!count) {
    age.hosts_problem = "the answer holds no data.count object";
    return;
  }
  VisibleHosts hosts;
  const std::pair<const char*, std::int64_t*> states[] = {
      {"up", &hosts.up}, {"down", &hosts.down}, {"unreachable", &hosts.unreachable}, {"pending", &hosts.pending}};
  for (const auto& [name, value] : states) {
    const std::optional<std::int64_t> read = host_count(*count, name);
    if (!read) {
      age.hosts_problem = std::string("data.count ") +
                          (count->contains(name) ? std::string("holds ") + name + " as no whole number from 0"
                                                 : std::string("holds no count of ") + name + " hosts");
      return;
    }
    *value = *read;
    if (__builtin_add_overflow(hosts.total, *read, &hosts.total)) {
      age.hosts_problem = "the host counts are too large";
      return;
    }
  }
  age.hosts = hosts;
}

struct JsonBody {
  std::string text;
  bool refused = false;
};

std::size_t on_json_chunk(char* data, std::size_t size, std::size_t count, void* user) {
  auto& body = *static_cast<JsonBody*>(user);
  const std::size_t n = size * count;
  if (n > DATA_AGE_BODY_LIMIT - body.text.size()) {
    body.refused = true;
    return 0;
  }
  body.text.append(data, n);
  return n;
}

// Why a failed transfer gave no age: in the failure words of `orvek -t`,
// but for three that keep words of their own: a broken transfer in
// libcurl's words, a status without its phrase, and a body over this
// answer's own bound.
std::string failed_fetch_problem(const FetchResult& fetched) {
  switch (fetched.failure) {
    case FetchFailure::TRANSPORT: return "no answer: " + fetched.error;
    case FetchFailure::HTTP_STATUS: return "HTTP status " + std::to_string(fetched.status);
    case FetchFailure::BODY_TOO_LARGE:
      return "the answer is larger than " + std::to_string(DATA_AGE_BODY_LIMIT) + " bytes";
    default: return failure_words(fetched);
  }
}

}  // namespace

DataAge read_data_age(std::string_view text) {
  DataAge age;
  const json document = json::parse(text.begin(), text.end(), nullptr, false);
  if (document.is_discarded()) {
    age.not_json = true;
    // A sign-in page in place of the answer says more than "no JSON".
    if (const std::string_view kind = answer_kind(text); kind != "a JSON answer") age.answer_kind = kind;
    age.problem = "the answer is no JSON" + (age.answer_kind.empty() ? std::string() : " (" + age.answer_kind + ")");
    return age;
  }
  const json* result = nullptr;
  if (document.is_object()) {
    const auto found = document.find("result");
    if (found != document.end() && found->is_object()) result = &*found;
  }
  if (!result) {
    age.problem = "the answer has no \"result\" object";
    return age;
  }
  age.query_time_ms = field(*result, "query_time");
  age.last_update_ms = field(*result, "last_data_update");
  age.program_start_ms = field(*result, "program_start");
  const auto data = document.find("data");
  const bool has_data = data != document.end() && data->is_object();
  if (!age.program_start_ms && has_data) {
    const auto status = data->find("programstatus");
    if (status != data->end()) age.program_start_ms = field(*status, "program_start");
  }
  read_visible_hosts(has_data ? &*data : nullptr, age);
  if (!age.query_time_ms || !age.last_update_ms) {
    age.problem = !age.query_time_ms && !age.last_update_ms ? "the answer holds neither query_time nor last_data_update"
                  : !age.query_time_ms                      ? "the answer holds no query_time"
                                                            : "the answer holds no last_data_update";
    return age;
  }
  // Both lie within ±9e15 ms or come from int64: the difference of two such
  // can still overflow only for absurd values, which count as unknown.
  std::int64_t difference = 0;
  if (__builtin_sub_overflow(*age.query_time_ms, *age.last_update_ms, &difference)) {
    age.problem = "query_time and last_data_update are too far apart";
    return age;
  }
  // Data written after the answer's own time: a moment's difference is the
  // two clock readings; more is a clock stepped back, and counting such data
  // as fresh would keep a stopped program's picture current until the clock
  // caught up, hours later.
  if (difference < -AHEAD_TOLERANCE_MS) {
    age.written_ahead = true;
    age.problem = "last_data_update lies " + std::to_string(-(difference / 1000)) +
                  " s after query_time: the server's clock stepped back, or its status data was written in the "
                  "future";
    return age;
  }
  age.age_ms = difference < 0 ? 0 : difference;
  return age;
}

DataAgeFetch fetch_data_age(const Settings& settings, const Credentials& credentials,
                            StopFlag stop, const Deadline* deadline) {
  DataAgeFetch result;
  JsonBody body;
  result.fetched = run_server_transfer(settings, credentials, settings.data_age_url,
                                       {on_json_chunk, &body, &body.refused}, stop, deadline);
  FetchResult& fetched = result.fetched;
  fetched.body_size = body.text.size();
  fetched.body_bound = DATA_AGE_BODY_LIMIT;
  if (fetched.ok()) result.age = read_data_age(body.text);
  else result.age.problem = failed_fetch_problem(fetched);
  return result;
}

std::optional<std::string> data_age_banner(const DataAge& age, std::uint32_t max_age) {
  if (!age.age_ms) return std::string(DATA_AGE_UNKNOWN_TEXT);
  const std::int64_t age_ms = *age.age_ms;
  if (age_ms <= static_cast<std::int64_t>(max_age) * 1000) return std::nullopt;
  if (age_ms < 60 * 1000) return " Server data is " + std::to_string(age_ms / 1000) + " s old! ";
  return " Server data is " + std::to_string(age_ms / (60 * 1000)) + " min old! ";
}

std::optional<std::string> status_data_banner(const DataAge& age, std::uint32_t max_age) {
  // An old or unknown age first: the count comes from that same data.
  if (std::optional<std::string> stale = data_age_banner(age, max_age)) return stale;
  if (age.hosts && age.hosts->total == 0) return std::string(NO_HOSTS_TEXT);
  return std::nullopt;
}
