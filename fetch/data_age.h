#pragma once
// How old the server's status data is. The server's JSON status CGI says,
// in its answer to "programstatus", the time of the answer (query_time) and
// the time its status data last changed (last_data_update), both in
// milliseconds since the epoch on the server's clock. The monitoring program
// rewrites that data every few seconds while it runs, so their difference is
// the age of what the list of problems shows: a list read from data that an
// hour-old program left behind is no current list.
#include <csignal>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fetch/status_fetch.h"

struct Credentials;
struct Settings;

// What the JSON answer said, or why it said nothing usable.
struct DataAge {
  std::optional<std::int64_t> age_ms;            // query_time - last_data_update
  std::optional<std::int64_t> query_time_ms;
  std::optional<std::int64_t> last_update_ms;
  std::optional<std::int64_t> program_start_ms;  // when the monitoring program started, if said
  std::string problem;                           // why age_ms is missing
};

// The answer's body as the JSON CGI gives it.
DataAge read_data_age(std::string_view json);

// What one fetch of the data age did: the transfer, and its reading.
struct DataAgeFetch {
  FetchResult fetched;  // body_size, status, failure as for the list
  DataAge age;
};

// The largest JSON answer read; the program status is a few hundred bytes.
inline constexpr std::size_t DATA_AGE_BODY_LIMIT = 1 << 20;

// One transfer of settings.data_age_url, set up exactly as the list's
// (the same credentials, authentication, TLS, time bounds), then read. When
// stop is given, the transfer is abandoned soon after *stop turns non-zero.
DataAgeFetch fetch_data_age(const Settings& settings, const Credentials& credentials,
                            const volatile std::sig_atomic_t* stop = nullptr);

// The banner that shows instead of the report when the data is older than
// max_age seconds (" Server data is N min old! ", or under a minute
// " Server data is N s old! ") or its age is unknown
// (" Server data age unknown! "); nothing when it is fresh enough.
std::optional<std::string> data_age_banner(const DataAge& age, std::uint32_t max_age);

inline constexpr std::string_view DATA_AGE_UNKNOWN_TEXT = " Server data age unknown! ";
