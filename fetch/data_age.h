#pragma once
// How old the server's status data is, and how many hosts the user may see.
// The server's JSON status CGI says, in its answer to "hostcount", the time
// of the answer (query_time) and the time its status data last changed
// (last_data_update), both in milliseconds since the epoch on the server's
// clock. The monitoring program rewrites that data every few seconds while
// it runs, so their difference is the age of what the list of problems
// shows: a list read from data that an hour-old program left behind is no
// current list. The same answer counts the hosts this user may see: a user
// who sees none gets an empty list, which is no all-clear.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/stop_flag.h"
#include "fetch/status_fetch.h"

struct Credentials;
struct Settings;

// The hosts the server lets this user see, by state.
struct VisibleHosts {
  std::int64_t up = 0, down = 0, unreachable = 0, pending = 0;
  std::int64_t total = 0;
};

// What the JSON answer said, or why it said nothing usable.
struct DataAge {
  std::optional<std::int64_t> age_ms;            // query_time - last_data_update, never below 0
  std::optional<std::int64_t> query_time_ms;
  std::optional<std::int64_t> last_update_ms;
  std::optional<std::int64_t> program_start_ms;  // when the monitoring program started, if said
  std::string problem;                           // why age_ms is missing
  // The answer could not be read as JSON; what it looked like instead
  // ("an HTML page"), empty where it looked like JSON.
  bool not_json = false;
  std::string answer_kind;
  // last_data_update lies more than AHEAD_TOLERANCE_MS after query_time.
  bool written_ahead = false;
  std::optional<VisibleHosts> hosts;  // data.count, when whole
  // Why hosts is missing from a JSON answer with a "result" object; empty
  // when the answer was no such answer at all (a server without the CGI).
  std::string hosts_problem;
};

// Status data written up to this long after the answer's time counts as
// written at that time (age 0): the CGI and the program read the clock at
// different moments. Beyond it, the clock has stepped back or the data
// comes from the future, and no age can be told.
inline constexpr std::int64_t AHEAD_TOLERANCE_MS = 60 * 1000;

// The answer's body as the JSON CGI gives it.
DataAge read_data_age(std::string_view json);

// What one fetch of the data age did: the transfer, and its reading.
struct DataAgeFetch {
  FetchResult fetched;  // body_size, status, failure as for the list
  DataAge age;
};

// The largest JSON answer read; the host count is a few hundred bytes.
inline constexpr std::size_t DATA_AGE_BODY_LIMIT = 1 << 20;

// One transfer of settings.data_age_url, set up exactly as the list's
// (the same credentials, authentication, TLS, time bounds), then read. When
// stop is given, the transfer is abandoned soon after *stop turns non-zero.
DataAgeFetch fetch_data_age(const Settings& settings, const Credentials& credentials,
                            StopFlag stop = nullptr, const Deadline* deadline = nullptr);

// The banner that shows instead of the report when the data is older than
// max_age seconds (" Server data is N min old! ", or under a minute
// " Server data is N s old! ") or its age is unknown
// (" Server data age unknown! "); nothing when it is fresh enough.
std::optional<std::string> data_age_banner(const DataAge& age, std::uint32_t max_age);

inline constexpr std::string_view DATA_AGE_UNKNOWN_TEXT = " Server data age unknown! ";

// What shows in place of the report with maxage: the data age's banner,
// else " Server shows this user no hosts! " when the answer counted no host
// at all the user may see (the list of such a user is always empty, and its
// calm means nothing); nothing when neither.
std::optional<std::string> status_data_banner(const DataAge& age, std::uint32_t max_age);

inline constexpr std::string_view NO_HOSTS_TEXT = " Server shows this user no hosts! ";
