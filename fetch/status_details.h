#pragma once
// What the server's JSON status CGI says of the problems the list names:
// how long each has been in its state, whether it is SOFT (not yet
// confirmed) and at which attempt, and the check's output. The list stays
// the authority on which problems there are; these answers only add to it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/stop_flag.h"
#include "fetch/status_fetch.h"

struct Credentials;
struct Settings;

// One entry of a hostlist or servicelist answer, by the names the CGI wrote
// (it writes "(null)" for a name holding a character outside ASCII).
struct JsonProblem {
  std::string host;
  std::string service;               // empty for a host
  int status = 0;                    // the CGI's code: a host 4 DOWN, 8 UNREACHABLE; a service 4 WARNING, 8 UNKNOWN, 16 CRITICAL
  std::int64_t last_change_ms = -1;  // last_state_change; below 0: not told
  bool soft = false;                 // state_type 0
  int attempt = 0, max_attempts = 0;
  std::string output;                // plugin_output's first line, at most OUTPUT_KEPT bytes
};

// One answer, or why it gave nothing usable.
struct JsonList {
  std::string url;
  FetchResult fetched;
  std::optional<std::int64_t> query_time_ms;
  std::int64_t type_code = 0;  // the CGI's own verdict: 0 success, 6 a group (or other name) not found
  std::vector<JsonProblem> entries;
  std::string problem;  // empty when read whole
  bool ok() const { return problem.empty(); }
};

struct StatusDetails {
  JsonList hosts;
  JsonList services;
  // With a service group: its services whatever their state (host and
  // service names only), for the DOWN hosts that have one of them.
  std::optional<JsonList> members;
  bool ok() const { return hosts.ok() && services.ok() && (!members || members->ok()); }
  // The first answer's failure, in a few words.
  std::string problem() const;
};

// The most of an output kept: more than a 50-column column ever shows.
inline constexpr std::size_t OUTPUT_KEPT = 256;

// A JSON answer as it arrives: kept without the blanks between its tokens
// (the CGI writes one field a line, indented: a third of a large answer),
// with room for the parser's padding after it, so that reading it never
// copies it again.
struct JsonReceiver {
  std::string text;
  std::size_t received = 0;  // bytes as sent
  bool in_string = false;    // within a string, where blanks are kept
  bool escaped = false;      // the byte before was its backslash
  bool refused = false;      // over STATUS_DETAILS_BODY_LIMIT
};

// Takes the next bytes of the answer; false (and refused) when they would
// take it over STATUS_DETAILS_BODY_LIMIT bytes as sent.
bool receive_json(JsonReceiver& receiver, std::string_view bytes);

// The largest answer read: the largest list's services, with their
// outputs, come to some 25 MB.
inline constexpr std::size_t STATUS_DETAILS_BODY_LIMIT = 64u << 20;

// An answer's body as the CGI gives it. services: a servicelist answer,
// else a hostlist one.
// What an answer lists: hosts, services with their details, or the names
// of services alone (a servicelist without details).
enum class ListKind { HOSTS, SERVICES, MEMBERS };

JsonList read_json_list(std::string_view json, bool services);
JsonList read_json_list(std::string_view json, ListKind kind);

// The same on a body as the fetch keeps it: read in place when its capacity
// leaves the parser's padding after its text, else copied first.
JsonList read_json_body(const std::string& body, bool services);

// Makes room for the parser's padding after the text, so that
// read_json_body reads it in place.
void pad_json_body(std::string& body);

// The URL of an answer with the section's group filters, names
// percent-encoded.
std::string grouped_url(std::string url, std::string_view hostgroup, std::string_view servicegroup);

// Both answers (and with a service group its members), fetched in turn as the list is (the same credentials,
// authentication, TLS, time bounds), then read.
StatusDetails fetch_status_details(const Settings& settings, const Credentials& credentials, StopFlag stop = nullptr,
                                   const Deadline* deadline = nullptr);
