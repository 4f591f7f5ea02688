#include "fetch/status_details.h"

#include <algorithm>
#include <utility>
#include <simdjson.h>

#include "config/config_file.h"
#include "fetch/answer_kind.h"
#include "fetch/failure_words.h"
#include "fetch/server_transfer.h"

namespace {

// On demand: only the fields used are read, the rest skipped over, and no
// tree of the answer is built (a 25 MB answer would need more than itself).
namespace od = simdjson::ondemand;

std::size_t on_chunk(char* data, std::size_t size, std::size_t count, void* user) {
  const std::size_t n = size * count;
  return receive_json(*static_cast<JsonReceiver*>(user), std::string_view(data, n)) ? n : 0;
}

// The first line of an output, cut on a whole character within OUTPUT_KEPT
// bytes.
std::string first_line(std::string_view text) {
  text = text.substr(0, text.find('\n'));
  if (text.size() > OUTPUT_KEPT) {
    std::size_t end = OUTPUT_KEPT;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text = text.substr(0, end);
  }
  return std::string(text);
}

std::optional<std::int64_t> whole_number(od::value value) {
  std::int64_t number = 0;
  double real = 0;
  od::number_type type;
  if (value.get_number_type().get(type) != simdjson::SUCCESS) return std::nullopt;
  if (type == od::number_type::signed_integer && value.get_int64().get(number) == simdjson::SUCCESS) return number;
  if (value.get_double().get(real) == simdjson::SUCCESS && real > -9.0e15 && real < 9.0e15)
    return static_cast<std::int64_t>(real);
  return std::nullopt;
}

std::string text_of(od::value value) {
  std::string_view text;
  if (value.get_string().get(text) != simdjson::SUCCESS) return {};
  return std::string(text);
}

// The fields of one host's or service's details; others are skipped unread.
// Keys are compared as they stand in the answer: none of these needs
// unescaping.
void read_entry(od::object object, JsonProblem& entry) {
  for (auto field : object) {
    const od::raw_json_string key = field.key();
    od::value value = field.value();
    if (key == "plugin_output") {
      std::string_view text;
      if (value.get_string().get(text) == simdjson::SUCCESS) entry.output = first_line(text);
    } else if (key == "status") {
      entry.status = static_cast<int>(std::clamp<std::int64_t>(whole_number(value).value_or(0), 0, 1 << 20));
    } else if (key == "last_state_change") {
      entry.last_change_ms = whole_number(value).value_or(-1);
    } else if (key == "state_type") {
      entry.soft = whole_number(value) == 0;
    } else if (key == "current_attempt") {
      entry.attempt = static_cast<int>(std::clamp<std::int64_t>(whole_number(value).value_or(0), 0, 255));
    } else if (key == "max_attempts") {
      entry.max_attempts = static_cast<int>(std::clamp<std::int64_t>(whole_number(value).value_or(0), 0, 255));
    }
  }
}

void read_result(od::object result, JsonList& list, std::string& failure) {
  std::int64_t type_code = 0;
  std::string message, type_text;
  for (auto field : result) {
    const od::raw_json_string key = field.key();
    od::value value = field.value();
    if (key == "query_time") list.query_time_ms = whole_number(value);
    else if (key == "type_code") type_code = whole_number(value).value_or(0);
    else if (key == "type_text") type_text = text_of(value);
    else if (key == "message") message = text_of(value);
  }
  list.type_code = type_code;
  if (type_code != 0) failure = "JSON status: " + (message.empty() ? type_text : message);
}

void read_list(od::object data, JsonList& list, ListKind kind) {
  const bool services = kind != ListKind::HOSTS;
  bool found = false;
  for (auto field : data) {
    if (field.key() != (services ? "servicelist" : "hostlist")) continue;
    found = true;
    for (auto host : field.value().get_object()) {
      const std::string host_name(std::string_view(host.unescaped_key()));
      if (kind == ListKind::MEMBERS) {
        // Only the names count: {"host": {"service": state, ...}} or a list.
        od::value services_of = host.value();
        od::json_type type;
        if (services_of.type().get(type) != simdjson::SUCCESS) throw simdjson::simdjson_error(simdjson::TAPE_ERROR);
        if (type == od::json_type::object)
          for (auto service : services_of.get_object()) {
            JsonProblem& entry = list.entries.emplace_back();
            entry.host = host_name;
            entry.service = std::string(std::string_view(service.unescaped_key()));
          }
        else if (type == od::json_type::array)
          for (auto service : services_of.get_array()) {
            JsonProblem& entry = list.entries.emplace_back();
            entry.host = host_name;
            entry.service = text_of(service.value());
          }
        continue;
      }
      if (!services) {
        JsonProblem& entry = list.entries.emplace_back();
        entry.host = host_name;
        read_entry(host.value().get_object(), entry);
        continue;
      }
      for (auto service : host.value().get_object()) {
        JsonProblem& entry = list.entries.emplace_back();
        entry.host = host_name;
        entry.service = std::string(std::string_view(service.unescaped_key()));
        read_entry(service.value().get_object(), entry);
      }
    }
  }
  if (!found) list.problem = std::string("the answer holds no data.") + (services ? "servicelist" : "hostlist");
}

std::string failed_fetch_problem(const FetchResult& fetched) {
  switch (fetched.failure) {
    case FetchFailure::TRANSPORT: return "no answer: " + fetched.error;
    case FetchFailure::HTTP_STATUS: return "HTTP status " + std::to_string(fetched.status);
    case FetchFailure::BODY_TOO_LARGE:
      return "the answer is larger than " + std::to_string(STATUS_DETAILS_BODY_LIMIT) + " bytes";
    default: return failure_words(fetched);
  }
}

JsonList read_padded(const std::string& text, ListKind services) {
  JsonList list;
  std::string failure;  // the CGI's own, from result
  try {
    // Every value up to the end is walked through: a cut answer fails
    // somewhere on the way and is no answer.
    od::parser parser;
    od::document document = parser.iterate(simdjson::padded_string_view(text.data(), text.size(), text.capacity()));
    bool has_result = false, has_data = false;
    for (auto field : document.get_object()) {
      const od::raw_json_string key = field.key();
      od::value value = field.value();
      od::json_type type;
      if (value.type().get(type) != simdjson::SUCCESS) throw simdjson::simdjson_error(simdjson::TAPE_ERROR);
      if (key == "result" && type == od::json_type::object) {
        has_result = true;
        read_result(value.get_object(), list, failure);
      } else if (key == "data" && type == od::json_type::object) {
        has_data = true;
        read_list(value.get_object(), list, services);
      }
    }
    if (!failure.empty()) list.problem = failure;
    else if (!has_result) list.problem = "the answer has no \"result\" object";
    else if (!has_data) list.problem = "the answer holds no data object";
  } catch (const simdjson::simdjson_error&) {
    const std::string_view kind = answer_kind(text);
    list.problem = "the answer is no JSON" + (kind == "a JSON answer" ? std::string() : " (" + std::string(kind) + ")");
  }
  if (!list.ok()) list.entries.clear();
  return list;
}

JsonList fetch_list(const Settings& settings, const Credentials& credentials, const std::string& url, ListKind services,
                    StopFlag stop, const Deadline* deadline) {
  JsonReceiver body;
  FetchResult fetched = run_server_transfer(settings, credentials, url, {on_chunk, &body, &body.refused}, stop, deadline);
  fetched.body_size = body.received;
  fetched.body_bound = STATUS_DETAILS_BODY_LIMIT;
  JsonList list;
  if (fetched.ok()) {
    body.text.reserve(body.text.size() + simdjson::SIMDJSON_PADDING);
    list = read_padded(body.text, services);
  } else {
    list.problem = failed_fetch_problem(fetched);
  }
  list.url = url;
  list.fetched = std::move(fetched);
  return list;
}

}  // namespace

std::string StatusDetails::problem() const {
  if (!hosts.ok()) return hosts.problem;
  return services.problem;
}

bool receive_json(JsonReceiver& receiver, std::string_view bytes) {
  if (bytes.size() > STATUS_DETAILS_BODY_LIMIT - receiver.received) {
    receiver.refused = true;
    return false;
  }
  receiver.received += bytes.size();
  std::string& text = receiver.text;
  const std::size_t start = text.size();
  const std::size_t needed = start + bytes.size() + simdjson::SIMDJSON_PADDING;
  if (text.capacity() < needed) text.reserve(std::max(needed, text.capacity() * 2));
  text.resize(start + bytes.size());
  char* out = text.data() + start;
  bool in_string = receiver.in_string, escaped = receiver.escaped;
  for (const char c : bytes) {
    if (in_string) {
      *out++ = c;
      if (escaped) escaped = false;
      else if (c == '\\') escaped = true;
      else if (c == '"') in_string = false;
    } else if (c != ' ' && c != '\n' && c != '\t' && c != '\r') {
      *out++ = c;
      in_string = c == '"';
    }
  }
  text.resize(static_cast<std::size_t>(out - text.data()));
  receiver.in_string = in_string;
  receiver.escaped = escaped;
  return true;
}

JsonList read_json_list(std::string_view json, ListKind kind) {
  std::string text;
  text.reserve(json.size() + simdjson::SIMDJSON_PADDING);
  text.assign(json);
  return read_padded(text, kind);
}

JsonList read_json_list(std::string_view json, bool services) {
  return read_json_list(json, services ? ListKind::SERVICES : ListKind::HOSTS);
}

std::string grouped_url(std::string url, std::string_view hostgroup, std::string_view servicegroup) {
  const auto add = [&url](std::string_view name, std::string_view value) {
    if (value.empty()) return;
    url.append("&").append(name).append("=");
    static constexpr char HEX[] = "0123456789ABCDEF";
    for (const char c : value) {
      const auto byte = static_cast<unsigned char>(c);
      if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
          c == '-' || c == '_' || c == '.' || c == '~') {
        url.push_back(c);
      } else {
        url.push_back('%');
        url.push_back(HEX[byte >> 4]);
        url.push_back(HEX[byte & 15]);
      }
    }
  };
  add("hostgroup", hostgroup);
  add("servicegroup", servicegroup);
  return url;
}

JsonList read_json_body(const std::string& body, bool services) {
  if (body.capacity() < body.size() + simdjson::SIMDJSON_PADDING) return read_json_list(body, services);
  return read_padded(body, services ? ListKind::SERVICES : ListKind::HOSTS);
}

void pad_json_body(std::string& body) { body.reserve(body.size() + simdjson::SIMDJSON_PADDING); }

StatusDetails fetch_status_details(const Settings& settings, const Credentials& credentials, StopFlag stop,
                                   const Deadline* deadline) {
  StatusDetails details;
  details.hosts = fetch_list(settings, credentials, grouped_url(settings.hostlist_url, settings.hostgroup, {}),
                             ListKind::HOSTS, stop, deadline);
  if (stop_asked(stop)) return details;
  details.services =
      fetch_list(settings, credentials, grouped_url(settings.servicelist_url, settings.hostgroup, settings.servicegroup),
                 ListKind::SERVICES, stop, deadline);
  if (stop_asked(stop) || settings.servicegroup.empty()) return details;
  details.members = fetch_list(settings, credentials, grouped_url(settings.members_url, {}, settings.servicegroup),
                               ListKind::MEMBERS, stop, deadline);
  return details;
}
