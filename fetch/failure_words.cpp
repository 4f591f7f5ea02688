#include "fetch/failure_words.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <curl/curl.h>

#include "fetch/server_transfer.h"
#include "fetch/status_fetch.h"
#include "fetch/trust.h"

namespace {

// Every way a fetch can fail that the words tell apart.
enum class Failure {
  NONE,
  HTTP_STATUS,
  NO_HANDLE,
  BODY_TOO_LARGE,
  HEADER_UNFINISHED,
  HEADER_OVER_LIMIT,
  NAME_NOT_RESOLVED,
  PROXY_NOT_RESOLVED,
  CONNECTION_REFUSED,
  COULD_NOT_CONNECT,
  NO_CONNECTION_IN_TIME,
  NO_ANSWER_IN_TIME,
  UNKNOWN_CA,
  EXPIRED,
  NOT_YET_VALID,
  NAME_MISMATCH,
  PIN_MISMATCH,
  OTHER_CHAIN,
  CA_FILE_UNUSABLE,
  TLS_FAILED,
  SCHEME_UNKNOWN,
  URL_MALFORMED,
  NOTHING_ANSWERED,
  SEND_BROKE,
  RECEIVE_BROKE,
  BODY_CUT,
  NO_HTTP,
  TRANSFER_FAILED,
  PASSWORD_FILE_UNREADABLE,
  SETTINGS_UNUSABLE,
  COUNT
};

struct Words {
  Failure failure;
  const char* wall;   // a few words, for the row under the banner
  const char* check;  // the words of `orvek -t`, where they need no figures
};

constexpr std::array<Words, static_cast<std::size_t>(Failure::COUNT)> WORDS = {{
    {Failure::NONE, "", ""},
    {Failure::HTTP_STATUS, "", ""},  // by status, below
    {Failure::NO_HANDLE, "libcurl could not start", "libcurl could not start a transfer"},
    {Failure::BODY_TOO_LARGE, "page over 3,510,720 bytes", "body over 3,510,720 bytes, more than orvek takes"},
    {Failure::HEADER_UNFINISHED, "answer cut off in its header",
     "the answer ended before its header section did"},
    {Failure::HEADER_OVER_LIMIT, "answer header too large", ""},
    {Failure::NAME_NOT_RESOLVED, "name not resolved",
     "name not resolved: no address for the server's host name"},
    {Failure::PROXY_NOT_RESOLVED, "proxy name not resolved",
     "name not resolved: no address for the proxy named in the environment"},
    {Failure::CONNECTION_REFUSED, "connection refused", "connection refused: nothing listens on that port"},
    {Failure::COULD_NOT_CONNECT, "could not connect", "could not connect"},
    // With the bound's figure, below.
    {Failure::NO_CONNECTION_IN_TIME, "no connection within", "no connection within"},
    {Failure::NO_ANSWER_IN_TIME, "no answer within", "connected, but no complete answer within"},
    {Failure::UNKNOWN_CA, "certificate: unknown CA", ""},
    {Failure::EXPIRED, "certificate expired", ""},
    {Failure::NOT_YET_VALID, "certificate not yet valid", ""},
    {Failure::NAME_MISMATCH, "certificate name mismatch", ""},
    {Failure::PIN_MISMATCH, "certificate pin mismatch", ""},
    {Failure::OTHER_CHAIN, "certificate check failed", ""},
    {Failure::CA_FILE_UNUSABLE, "CA file unreadable", ""},
    {Failure::TLS_FAILED, "TLS handshake failed", "TLS handshake failed"},
    {Failure::SCHEME_UNKNOWN, "URL scheme not spoken", "the URL's scheme is one libcurl does not speak"},
    {Failure::URL_MALFORMED, "URL malformed", "the URL is malformed"},
    {Failure::NOTHING_ANSWERED, "closed without answer", "the server closed the connection without answering"},
    {Failure::SEND_BROKE, "connection broke", "the connection broke while the request was sent"},
    {Failure::RECEIVE_BROKE, "connection broke", "the connection broke while the answer came"},
    {Failure::BODY_CUT, "answer cut off", "the answer ended before all of its body came"},
    {Failure::NO_HTTP, "answer is no HTTP", "the answer is no HTTP"},
    {Failure::TRANSFER_FAILED, "transfer failed", "the transfer failed"},
    {Failure::PASSWORD_FILE_UNREADABLE, "password file unreadable", ""},
    {Failure::SETTINGS_UNUSABLE, "configuration unusable", ""},
}};

constexpr bool words_in_order() {
  for (std::size_t i = 0; i < WORDS.size(); ++i)
    if (static_cast<std::size_t>(WORDS[i].failure) != i) return false;
  return true;
}
static_assert(words_in_order());

const Words& words_of(Failure failure) { return WORDS[static_cast<std::size_t>(failure)]; }

// What a status says of the fetch: its phrase (for -t) and its meaning
// (for the wall). A status server is known to send these.
struct StatusWords {
  long status;
  const char* phrase;
  const char* wall;
};

constexpr StatusWords STATUS_WORDS[] = {
    {200, "OK", ""},
    {204, "No Content", ""},
    {301, "Moved Permanently", "redirected elsewhere"},
    {302, "Found", "redirected elsewhere"},
    {303, "See Other", "redirected elsewhere"},
    {307, "Temporary Redirect", "redirected elsewhere"},
    {308, "Permanent Redirect", "redirected elsewhere"},
    {400, "Bad Request", "request refused"},
    {401, "Unauthorized", "user or password refused"},
    {403, "Forbidden", "access forbidden"},
    {404, "Not Found", "no status page at that path"},
    {407, "Proxy Authentication Required", "proxy wants a password"},
    {500, "Internal Server Error", "server error"},
    {502, "Bad Gateway", "proxy got no answer"},
    {503, "Service Unavailable", "server unavailable"},
    {504, "Gateway Timeout", "proxy timed out"},
};

const StatusWords* status_words(long status) {
  for (const StatusWords& words : STATUS_WORDS)
    if (words.status == status) return &words;
  return nullptr;
}

std::string status_meaning(long status) {
  if (const StatusWords* words = status_words(status); words && *words->wall) return words->wall;
  if (status >= 300 && status <= 399) return "redirected elsewhere";
  if (status >= 400 && status <= 499) return "request refused";
  if (status >= 500 && status <= 599) return "server error";
  return "not the page";
}

// libcurl gives up on a header section over its bounds with words such as
// "Out of memory", which would send the reader looking at the wrong machine.
std::string header_limit_words(const FetchResult& result) {
  if (result.status == 0 || result.header_complete) return {};
  const std::string challenges =
      result.challenge_headers > 0
          ? " (" + std::to_string(result.challenge_headers) + " WWW-Authenticate headers in it)"
          : "";
  if (result.header_bytes + CURL_HEADER_LINE_LIMIT >= CURL_HEADER_SECTION_LIMIT)
    return "the answer's header section is over libcurl's limit of " + std::to_string(CURL_HEADER_SECTION_LIMIT / 1024) +
           " KiB" + challenges;
  if (result.curl_code == CURLE_OUT_OF_MEMORY)
    return "a header line of the answer is over libcurl's limit of " + std::to_string(CURL_HEADER_LINE_LIMIT / 1024) +
           " KiB (a WWW-Authenticate header with thousands of schemes, say)";
  return {};
}

Failure trust_failure(const FetchResult& result) {
  switch (trust_failure_of(result)) {
    case TrustFailure::NONE: break;
    case TrustFailure::UNKNOWN_CA: return Failure::UNKNOWN_CA;
    case TrustFailure::EXPIRED: return Failure::EXPIRED;
    case TrustFailure::NOT_YET_VALID: return Failure::NOT_YET_VALID;
    case TrustFailure::NAME_MISMATCH: return Failure::NAME_MISMATCH;
    case TrustFailure::PIN_MISMATCH: return Failure::PIN_MISMATCH;
    case TrustFailure::OTHER_CHAIN: return Failure::OTHER_CHAIN;
    case TrustFailure::CA_FILE_UNUSABLE: return Failure::CA_FILE_UNUSABLE;
  }
  return Failure::TLS_FAILED;
}

Failure transport_failure(const FetchResult& result) {
  if (!header_limit_words(result).empty()) return Failure::HEADER_OVER_LIMIT;
  switch (result.curl_code) {
    case CURLE_COULDNT_RESOLVE_HOST: return Failure::NAME_NOT_RESOLVED;
    case CURLE_COULDNT_RESOLVE_PROXY: return Failure::PROXY_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT:
      return result.os_error == ECONNREFUSED ? Failure::CONNECTION_REFUSED : Failure::COULD_NOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT:
      // The connect bound covers the TLS handshake, as does "connected".
      return result.connected ? Failure::NO_ANSWER_IN_TIME : Failure::NO_CONNECTION_IN_TIME;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_CACERT_BADFILE: return trust_failure(result);
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CLIENTCERT:
    case CURLE_USE_SSL_FAILED: return Failure::TLS_FAILED;
    case CURLE_UNSUPPORTED_PROTOCOL: return Failure::SCHEME_UNKNOWN;
    case CURLE_URL_MALFORMAT: return Failure::URL_MALFORMED;
    case CURLE_GOT_NOTHING: return Failure::NOTHING_ANSWERED;
    case CURLE_SEND_ERROR: return Failure::SEND_BROKE;
    case CURLE_RECV_ERROR: return Failure::RECEIVE_BROKE;
    case CURLE_PARTIAL_FILE: return Failure::BODY_CUT;
    case CURLE_WEIRD_SERVER_REPLY: return Failure::NO_HTTP;
    default: return Failure::TRANSFER_FAILED;
  }
}

Failure failure_of(const FetchResult& result) {
  switch (result.failure) {
    case FetchFailure::NONE: return Failure::NONE;
    case FetchFailure::HTTP_STATUS: return Failure::HTTP_STATUS;
    case FetchFailure::NO_HANDLE: return Failure::NO_HANDLE;
    case FetchFailure::BODY_TOO_LARGE: return Failure::BODY_TOO_LARGE;
    case FetchFailure::HEADER_UNFINISHED: return Failure::HEADER_UNFINISHED;
    case FetchFailure::TRANSPORT: return transport_failure(result);
    case FetchFailure::PASSWORD_FILE: return Failure::PASSWORD_FILE_UNREADABLE;
    case FetchFailure::UNUSABLE_SETTINGS: return Failure::SETTINGS_UNUSABLE;
  }
  return Failure::TRANSFER_FAILED;
}

// The words of a failure, the time bound that ended it quoted.
std::string with_bound(const char* words, Failure failure, const FetchResult& result, bool check) {
  std::string text = words;
  if (failure == Failure::NO_CONNECTION_IN_TIME)
    text += " " + std::to_string(result.connect_bound) + " s" + (check ? " (TLS handshake included)" : "");
  else if (failure == Failure::NO_ANSWER_IN_TIME)
    // Where a status came, "connected" goes without saying.
    text = (check && result.status != 0 ? std::string("no complete answer within") : text) + " " +
           std::to_string(result.transfer_bound) + " s";
  return text;
}

}  // namespace

std::string failure_words(const FetchResult& result) {
  const Failure failure = failure_of(result);
  switch (failure) {
    case Failure::HEADER_OVER_LIMIT: return header_limit_words(result);
    case Failure::COULD_NOT_CONNECT:
      if (result.os_error) return std::string("could not connect: ") + std::strerror(static_cast<int>(result.os_error));
      break;
    case Failure::UNKNOWN_CA:
    case Failure::EXPIRED:
    case Failure::NOT_YET_VALID:
    case Failure::NAME_MISMATCH:
    case Failure::PIN_MISMATCH:
    case Failure::OTHER_CHAIN:
    case Failure::CA_FILE_UNUSABLE: return trust_failure_words(result);
    case Failure::PASSWORD_FILE_UNREADABLE:
    case Failure::SETTINGS_UNUSABLE: return result.error;
    default: break;
  }
  return with_bound(words_of(failure).check, failure, result, true);
}

std::string wall_failure_words(const FetchResult& result) {
  const Failure failure = failure_of(result);
  if (failure == Failure::HTTP_STATUS) return "HTTP " + std::to_string(result.status) + ": " + status_meaning(result.status);
  if (failure == Failure::COULD_NOT_CONNECT && result.os_error)
    return std::string("could not connect: ") + std::strerror(static_cast<int>(result.os_error));
  return with_bound(words_of(failure).wall, failure, result, false);
}

std::string status_text(long status) {
  std::string text = "HTTP status " + std::to_string(status);
  if (const StatusWords* words = status_words(status)) text += " (" + std::string(words->phrase) + ")";
  return text;
}
