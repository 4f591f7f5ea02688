#include "fetch/server_transfer.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <curl/curl.h>
#include <memory>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <optional>
#include <string_view>
#include <vector>

#include "common/text_search.h"
#include "config/config_file.h"
#include "fetch/curl_handle.h"
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

// How a transfer ended, the same for every CGI asked.
FetchFailure failure_of(CURLcode code, bool body_refused, long status, const HeaderWatch& headers) {
  if (code == CURLE_WRITE_ERROR && body_refused) return FetchFailure::BODY_TOO_LARGE;
  if (code != CURLE_OK) return FetchFailure::TRANSPORT;
  // Status 0: a protocol without statuses or header sections.
  if (status != 0 && !headers.complete) return FetchFailure::HEADER_UNFINISHED;
  if (!answer_is_success(status)) return FetchFailure::HTTP_STATUS;
  return FetchFailure::NONE;
}

// libcurl calls this at least once a second during a transfer; non-zero
// ends it.
int on_progress(void* stop, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return stop_asked(static_cast<StopFlag>(stop));
}

// OpenSSL's check of the chain, as libcurl asked for it, with the server's
// certificate and the verdict kept: so the certificate a check from the
// shell shows is the one this connection was given, also where the check
// refused it. A later handshake of the same transfer (a new connection for
// the second leg of Digest) replaces it.
int check_and_keep(X509_STORE_CTX* store, void* user) {
  auto& kept = *static_cast<PeerCertificate*>(user);
  const int verdict = X509_verify_cert(store);
  kept = {};
  if (X509* leaf = X509_STORE_CTX_get0_cert(store)) {
    unsigned char* der = nullptr;
    const int size = i2d_X509(leaf, &der);
    if (size > 0) kept.der.assign(reinterpret_cast<const char*>(der), static_cast<std::size_t>(size));
    OPENSSL_free(der);
  }
  kept.chain_verdict = X509_STORE_CTX_get_error(store);
  return verdict;
}

CURLcode on_tls_context(CURL*, void* context, void* kept) {
  // A new connection: what an earlier one was given is not what this one
  // gets, even where its handshake fails before any certificate comes.
  *static_cast<PeerCertificate*>(kept) = {};
  SSL_CTX_set_cert_verify_callback(static_cast<SSL_CTX*>(context), check_and_keep, kept);
  return CURLE_OK;
}

// The time bounds of this transfer, in milliseconds, with the figures its
// words quote kept in result: the transfer's own, or the time left before
// the deadline where that is shorter.
struct TimeBounds {
  long connect_ms = CONNECT_TIMEOUT_SECONDS * 1000;
  long transfer_ms = TRANSFER_TIMEOUT_SECONDS * 1000;
};

TimeBounds time_bounds(const Deadline* deadline, FetchResult& result) {
  TimeBounds bounds;
  if (!deadline) return bounds;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline->at - std::chrono::steady_clock::now());
  // libcurl takes 0 for "no bound": at least a millisecond.
  const long left_ms = std::max(1L, static_cast<long>(left.count()));
  if (left_ms < bounds.connect_ms) {
    bounds.connect_ms = left_ms;
    result.connect_bound = deadline->seconds;
  }
  if (left_ms < bounds.transfer_ms) {
    bounds.transfer_ms = left_ms;
    result.transfer_bound = deadline->seconds;
  }
  return bounds;
}

// Returns why the settings cannot be used; empty when the handle is set.
std::string set_up(CURL* handle, const Settings& settings, const Credentials& credentials, const std::string& url,
                   char* error, StopFlag stop, const TimeBounds& bounds) {
  if (std::string fault = set_trust_options(handle, settings); !fault.empty()) return fault;
  curl_easy_setopt(handle, CURLOPT_VERBOSE, 0L);
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_HTTPAUTH, settings.digest ? CURLAUTH_DIGEST : BROAD_AUTH_MASK);
  // Apart, not as "user:password", which libcurl would split at the first
  // colon: Digest then gets the whole user name. libcurl keeps its own copy.
  curl_easy_setopt(handle, CURLOPT_USERNAME, settings.username.c_str());
  curl_easy_setopt(handle, CURLOPT_PASSWORD, credentials.password.c_str());
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, bounds.connect_ms);
  curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, bounds.transfer_ms);
  curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, error);
  if (stop) {
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, on_progress);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(stop));
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
  }
  // Offer every coding libcurl can decode: a server set to compress then
  // sends a mass outage's page about 25 times smaller. The body arrives
  // decoded, so the receive limit still applies to the page itself.
  curl_easy_setopt(handle, CURLOPT_ACCEPT_ENCODING, "");
  return {};
}

}  // namespace

Credentials read_credentials(const Settings& settings) {
  Credentials credentials;
  if (settings.passwordfile.empty()) {
    credentials.password = settings.password;
    return credentials;
  }
  credentials.file = read_password_file(settings.passwordfile);
  if (credentials.file->password)
    credentials.password = *credentials.file->password;
  else
    credentials.fault = "the password file " + settings.passwordfile + " cannot be read: " + credentials.file->reason;
  return credentials;
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

void keep_certificate(void* handle, PeerCertificate& kept) {
  // Called for each TLS connection the transfer opens; plain http opens none.
  curl_easy_setopt(handle, CURLOPT_SSL_CTX_FUNCTION, on_tls_context);
  // No resumed sessions: a resumed handshake shows no certificate, and each
  // connection's own is wanted (a server that closes after its 401 gets a
  // second connection, which could be another server's).
  curl_easy_setopt(handle, CURLOPT_SSL_SESSIONID_CACHE, 0L);
  curl_easy_setopt(handle, CURLOPT_SSL_CTX_DATA, &kept);
}

FetchResult run_server_transfer(const Settings& settings, const Credentials& credentials, const std::string& url,
                                const BodySink& body, StopFlag stop, const Deadline* deadline) {
  FetchResult result;
  const CurlHandle handle = new_curl_handle();
  if (!handle) {
    result.failure = FetchFailure::NO_HANDLE;
    return result;
  }
  if (!credentials.fault.empty()) {
    result.failure = FetchFailure::PASSWORD_FILE;
    result.error = credentials.fault;
    return result;
  }
  const TimeBounds bounds = time_bounds(deadline, result);
  if (deadline && std::chrono::steady_clock::now() >= deadline->at) {
    result.failure = FetchFailure::TRANSPORT;
    result.curl_code = CURLE_OPERATION_TIMEDOUT;
    result.error = "not begun: the check's deadline had passed";
    return result;
  }
  CURL* h = handle.get();
  char error[CURL_ERROR_SIZE] = "";
  if (std::string fault = set_up(h, settings, credentials, url, error, stop, bounds); !fault.empty()) {
    result.failure = FetchFailure::UNUSABLE_SETTINGS;
    result.error = std::move(fault);
    return result;
  }
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, body.write);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, body.user);
  HeaderWatch headers;
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, on_header_line);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, &headers);
  keep_certificate(h, result.certificate);

  const auto start = std::chrono::steady_clock::now();
  const CURLcode code = curl_easy_perform(h);
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &result.status);
  curl_easy_getinfo(h, CURLINFO_OS_ERRNO, &result.os_error);
  curl_easy_getinfo(h, CURLINFO_SSL_VERIFYRESULT, &result.tls_verify_result);
  // libcurl's connect time stays 0 until the connection is made, its TLS
  // handshake included.
  curl_off_t connect_time = 0;
  curl_easy_getinfo(h, CURLINFO_CONNECT_TIME_T, &connect_time);
  result.connected = connect_time > 0;
  result.curl_code = code;
  if (code != CURLE_OK) result.error = error[0] ? error : curl_easy_strerror(code);
  result.failure = failure_of(code, *body.refused, result.status, headers);
  result.header_complete = headers.complete;
  result.header_bytes = headers.bytes;
  result.challenge_headers = headers.challenges;
  if (result.status == 401) result.offered_schemes = std::move(headers.schemes);
  if (result.status >= 300 && result.status <= 399) result.location = std::move(headers.location);
  return result;
}
