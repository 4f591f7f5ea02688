#include "fetch/status_fetch.h"

#include <chrono>
#include <cstring>
#include <curl/curl.h>
#include <optional>

#include "common/text_search.h"
#include "config/config_file.h"
#include "config/password_file.h"
#include "fetch/server_transfer.h"
#include "fetch/trust.h"

namespace {

// Every bit of the low 32 set except CURLAUTH_DIGEST_IE (bit 4) and bit 8;
// CURLAUTH_ONLY (bit 31) included. This is deliberately not CURLAUTH_ANY.
constexpr unsigned long BROAD_AUTH_MASK = 0xFFFFFEEFUL;

// libcurl reports status 0 for protocols that have none; anything else must
// be a final 2xx. A 401 after failed authentication, a 404, a 500 or an
// unfollowed redirect would otherwise be drawn as an empty, all-clear report.
bool answer_is_success(long status) { return status == 0 || (status >= 200 && status <= 299); }

// What the header function keeps of the answer under way: whether its header
// section was finished by its blank line (libcurl takes a status line
// followed by the end of the connection for a complete, empty answer, which
// would be drawn as an all-clear screen), and the two headers a check from
// the shell names. Only the server's headers pass here: no Authorization.
struct HeaderWatch {
  bool complete = false;
  std::vector<std::string> schemes;  // of the WWW-Authenticate headers
  std::string location;
  std::size_t bytes = 0;       // of the answer's header lines so far
  std::size_t challenges = 0;  // WWW-Authenticate lines so far
};

// Bounds on what a server's headers can make us keep.
constexpr std::size_t SCHEME_LIMIT = 8;
constexpr std::size_t LOCATION_LIMIT = 2048;

// The value of the header line "name: value", without the spaces around it
// and the line end; nothing when the line is another header.
std::optional<std::string_view> header_value(std::string_view line, std::string_view name) {
  if (line.size() <= name.size() || line[name.size()] != ':' || !equal_ignoring_case(line.substr(0, name.size()), name))
    return std::nullopt;
  std::string_view value = line.substr(name.size() + 1);
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r' || value.back() == '\n'))
    value.remove_suffix(1);
  return value;
}

bool is_token_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         (c != '\0' && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr);
}

std::size_t on_header_line(char* data, std::size_t size, std::size_t count, void* user) {
  const std::size_t n = size * count;
  auto* watch = static_cast<HeaderWatch*>(user);
  const std::string_view line(data, n);
  if (line.starts_with("HTTP/")) *watch = {};  // a new answer begins (Digest sends two)
  watch->bytes += n;
  if (line.starts_with("HTTP/")) {
  } else if (line == "\r\n" || line == "\n") {
    watch->complete = true;
  } else if (const auto challenges = header_value(line, "WWW-Authenticate")) {
    ++watch->challenges;
    add_challenge_schemes(*challenges, watch->schemes);
  } else if (const auto location = header_value(line, "Location")) {
    watch->location = location->substr(0, LOCATION_LIMIT);
  }
  return n;
}

FetchFailure failure_of(CURLcode code, const ReceiveBuffer& buffer, long status, const HeaderWatch& headers) {
  if (code == CURLE_WRITE_ERROR && buffer.refused) return FetchFailure::BODY_TOO_LARGE;
  if (code != CURLE_OK) return FetchFailure::TRANSPORT;
  // Status 0: a protocol without statuses or header sections.
  if (status != 0 && !headers.complete) return FetchFailure::HEADER_UNFINISHED;
  if (!answer_is_success(status)) return FetchFailure::HTTP_STATUS;
  return FetchFailure::NONE;
}

// libcurl calls this at least once a second during a transfer; non-zero
// ends it.
int on_progress(void* stop, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return *static_cast<const volatile std::sig_atomic_t*>(stop) != 0;
}

}  // namespace

std::string set_up_server_transfer(CURL* handle, const Settings& settings, const std::string& url, char* error,
                                   const volatile std::sig_atomic_t* stop) {
  // Read at every transfer, so that a password an operator rotates in the
  // file is taken at the next refresh, without a restart.
  std::string password = settings.password;
  if (!settings.passwordfile.empty()) {
    PasswordFileRead read = read_password_file(settings.passwordfile);
    if (!read.password) return std::string(PASSWORD_FILE_FAULT) + settings.passwordfile + " cannot be read: " + read.reason;
    password = std::move(*read.password);
  }
  if (std::string fault = set_trust_options(handle, settings); !fault.empty()) return fault;
  curl_easy_setopt(handle, CURLOPT_VERBOSE, 0L);
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_HTTPAUTH, settings.digest ? CURLAUTH_DIGEST : BROAD_AUTH_MASK);
  // Apart, not as "user:password", which libcurl would split at the first
  // colon: Digest then gets the whole user name. libcurl keeps its own copy.
  curl_easy_setopt(handle, CURLOPT_USERNAME, settings.username.c_str());
  curl_easy_setopt(handle, CURLOPT_PASSWORD, password.c_str());
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, CONNECT_TIMEOUT_SECONDS);
  curl_easy_setopt(handle, CURLOPT_TIMEOUT, TRANSFER_TIMEOUT_SECONDS);
  curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, error);
  if (stop) {
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, on_progress);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, const_cast<std::sig_atomic_t*>(stop));
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
  }
  // Offer every coding libcurl can decode: a server set to compress then
  // sends a mass outage's page about 25 times smaller. The body arrives
  // decoded, so the receive limit still applies to the page itself.
  curl_easy_setopt(handle, CURLOPT_ACCEPT_ENCODING, "");
  return {};
}

// The value holds challenges and their parameters, all apart by commas. A
// piece that starts with a token not followed by '=' starts a challenge;
// commas inside quotes part nothing.
void add_challenge_schemes(std::string_view value, std::vector<std::string>& schemes) {
  std::size_t i = 0;
  while (i < value.size()) {
    while (i < value.size() && (value[i] == ' ' || value[i] == '\t')) ++i;
    const std::size_t start = i;
    while (i < value.size() && is_token_char(value[i])) ++i;
    const std::string_view token = value.substr(start, i - start);
    while (i < value.size() && (value[i] == ' ' || value[i] == '\t')) ++i;
    if (!token.empty() && (i == value.size() || value[i] != '=')) {
      bool known = false;
      for (const std::string& scheme : schemes) known = known || equal_ignoring_case(scheme, token);
      if (!known && schemes.size() < SCHEME_LIMIT) schemes.emplace_back(token);
    }
    // On to the comma that ends this piece.
    bool quoted = false;
    for (; i < value.size() && (quoted || value[i] != ','); ++i) {
      if (value[i] == '"') quoted = !quoted;
      else if (quoted && value[i] == '\\') ++i;
    }
    ++i;
  }
}

ReceiveBuffer make_receive_buffer() {
  return {std::make_unique_for_overwrite<char[]>(RECEIVE_LIMIT), 0, false};
}

void reset_received_body(ReceiveBuffer& buffer) {
  // Without this a transfer that delivers no body would show the previous
  // frame's text again.
  buffer.length = 0;
  buffer.refused = false;
}

std::size_t on_body_chunk(char* data, std::size_t size, std::size_t count, void* user) {
  auto& buffer = *static_cast<ReceiveBuffer*>(user);
  const std::size_t n = size * count;
  if (n > RECEIVE_LIMIT - buffer.length) {
    buffer.refused = true;
    return 0;
  }
  if (n) std::memcpy(buffer.bytes.get() + buffer.length, data, n);
  buffer.length += n;
  return n;
}

std::string_view received_body(const ReceiveBuffer& buffer) { return {buffer.bytes.get(), buffer.length}; }

std::string_view received_text(const ReceiveBuffer& buffer) {
  const std::string_view body = received_body(buffer);
  return body.substr(0, body.find('\0'));
}

void perform_server_transfer(CURL* handle, const char* error, FetchResult& result) {
  const auto start = std::chrono::steady_clock::now();
  const CURLcode code = curl_easy_perform(handle);
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &result.status);
  curl_easy_getinfo(handle, CURLINFO_OS_ERRNO, &result.os_error);
  curl_easy_getinfo(handle, CURLINFO_SSL_VERIFYRESULT, &result.tls_verify_result);
  curl_easy_cleanup(handle);
  result.curl_code = code;
  if (code != CURLE_OK) result.error = error[0] ? error : curl_easy_strerror(code);
}

FetchResult fetch_problems(const Settings& settings, ReceiveBuffer& buffer, const volatile std::sig_atomic_t* stop) {
  FetchResult result;
  reset_received_body(buffer);
  CURL* handle = curl_easy_init();
  if (!handle) {
    result.failure = FetchFailure::NO_HANDLE;
    return result;
  }
  char error[CURL_ERROR_SIZE] = "";
  if (std::string fault = set_up_server_transfer(handle, settings, settings.status_url, error, stop); !fault.empty()) {
    curl_easy_cleanup(handle);
    result.failure = FetchFailure::UNUSABLE_SETTINGS;
    result.error = std::move(fault);
    return result;
  }
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, on_body_chunk);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &buffer);
  HeaderWatch headers;
  curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, on_header_line);
  curl_easy_setopt(handle, CURLOPT_HEADERDATA, &headers);
  perform_server_transfer(handle, error, result);
  result.body_size = buffer.length;
  result.failure = failure_of(static_cast<CURLcode>(result.curl_code), buffer, result.status, headers);
  result.header_complete = headers.complete;
  result.header_bytes = headers.bytes;
  result.challenge_headers = headers.challenges;
  if (result.status == 401) result.offered_schemes = std::move(headers.schemes);
  if (result.status >= 300 && result.status <= 399) result.location = std::move(headers.location);
  return result;
}
