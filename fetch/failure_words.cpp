#include "fetch/failure_words.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <curl/curl.h>
#include <openssl/x509.h>

#include "common/grouped_number.h"
#include "fetch/status_fetch.h"
#include "fetch/trust.h"

namespace {

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

// The words of the rows below that quote a figure, the system's or
// OpenSSL's words, or what the settings' own check said.

std::string wall_status(const FetchResult& result) {
  return "HTTP " + std::to_string(result.status) + ": " + status_meaning(result.status);
}
std::string check_status(const FetchResult& result) { return status_text(result.status); }

std::string wall_body_over(const FetchResult& result) { return "page over " + grouped(result.body_bound) + " bytes"; }
std::string check_body_over(const FetchResult& result) {
  return "body over " + grouped(result.body_bound) + " bytes, more than orvek takes";
}

std::string could_not_connect(const FetchResult& result) {
  return result.os_error ? std::string("could not connect: ") + std::strerror(static_cast<int>(result.os_error))
                         : "could not connect";
}

// The time bounds as the transfer ran under them.
std::string wall_no_connection(const FetchResult& result) {
  return "no connection within " + std::to_string(result.connect_bound) + " s";
}
std::string check_no_connection(const FetchResult& result) {
  return wall_no_connection(result) + " (TLS handshake included)";
}
std::string wall_no_answer(const FetchResult& result) {
  return "no answer within " + std::to_string(result.transfer_bound) + " s";
}
std::string check_no_answer(const FetchResult& result) {
  // Where a status came, "connected" goes without saying.
  return (result.status != 0 ? "no complete answer within " : "connected, but no complete answer within ") +
         std::to_string(result.transfer_bound) + " s";
}

std::string check_other_chain(const FetchResult& result) {
  return std::string("certificate check failed: ") + X509_verify_cert_error_string(result.tls_verify_result);
}

// A password file that cannot be read, a trust line that cannot be used:
// the settings' check words it, the file or line named.
std::string settings_fault(const FetchResult& result) { return result.error; }

using MadeWords = std::string (*)(const FetchResult&);

// One cell of the table: fixed words, or the function that makes them.
struct Said {
  constexpr Said(const char* fixed) : fixed(fixed) {}
  constexpr Said(MadeWords made) : made(made) {}
  const char* fixed = nullptr;
  MadeWords made = nullptr;
  std::string of(const FetchResult& result) const { return made ? made(result) : fixed; }
  constexpr bool empty() const { return !made && (!fixed || !*fixed); }
};

struct Words {
  FailureKind kind;
  Said wall;   // a few words, for the row under the banner
  Said check;  // the words of `orvek -t`
};

constexpr std::array<Words, static_cast<std::size_t>(FailureKind::COUNT)> WORDS = {{
    {FailureKind::HTTP_STATUS, wall_status, check_status},
    {FailureKind::NO_HANDLE, "libcurl could not start", "libcurl could not start a transfer"},
    {FailureKind::BODY_TOO_LARGE, wall_body_over, check_body_over},
    {FailureKind::HEADER_UNFINISHED, "answer cut off in its header", "the answer ended before its header section did"},
    {FailureKind::HEADER_OVER_LIMIT, "answer header too large", header_limit_words},
    {FailureKind::NAME_NOT_RESOLVED, "name not resolved", "name not resolved: no address for the server's host name"},
    {FailureKind::PROXY_NOT_RESOLVED, "proxy name not resolved",
     "name not resolved: no address for the proxy named in the environment"},
    {FailureKind::CONNECTION_REFUSED, "connection refused", "connection refused: nothing listens on that port"},
    {FailureKind::COULD_NOT_CONNECT, could_not_connect, could_not_connect},
    {FailureKind::NO_CONNECTION_IN_TIME, wall_no_connection, check_no_connection},
    {FailureKind::NO_ANSWER_IN_TIME, wall_no_answer, check_no_answer},
    {FailureKind::UNKNOWN_CA, "certificate: unknown CA",
     "certificate check failed: unknown CA: no trusted certificate authority vouches for the server's certificate "
     "(it is self-signed or its issuer is not trusted here)"},
    {FailureKind::EXPIRED, "certificate expired",
     "certificate check failed: expired: the server's certificate is no longer valid"},
    {FailureKind::NOT_YET_VALID, "certificate not yet valid",
     "certificate check failed: not yet valid: the server's certificate is valid only from a later date (or this "
     "machine's clock is behind)"},
    {FailureKind::NAME_MISMATCH, "certificate name mismatch",
     "certificate check failed: name mismatch: the certificate is not made out to the host in the server URL"},
    {FailureKind::PIN_MISMATCH, "certificate pin mismatch",
     "certificate check failed: pin mismatch: the server's public key is none of those in the pin line"},
    {FailureKind::OTHER_CHAIN, "certificate check failed", check_other_chain},
    {FailureKind::CA_FILE_UNUSABLE, "CA file unreadable",
     "the CA certificates to check the server's certificate against could not be read"},
    {FailureKind::TLS_FAILED, "TLS handshake failed", "TLS handshake failed"},
    {FailureKind::SCHEME_UNKNOWN, "URL scheme not spoken", "the URL's scheme is one libcurl does not speak"},
    {FailureKind::URL_MALFORMED, "URL malformed", "the URL is malformed"},
    {FailureKind::NOTHING_ANSWERED, "closed without answer", "the server closed the connection without answering"},
    {FailureKind::SEND_BROKE, "connection broke", "the connection broke while the request was sent"},
    {FailureKind::RECEIVE_BROKE, "connection broke", "the connection broke while the answer came"},
    {FailureKind::BODY_CUT, "answer cut off", "the answer ended before all of its body came"},
    {FailureKind::NO_HTTP, "answer is no HTTP", "the answer is no HTTP"},
    {FailureKind::TRANSFER_FAILED, "transfer failed", "the transfer failed"},
    {FailureKind::PASSWORD_FILE_UNREADABLE, "password file unreadable", settings_fault},
    {FailureKind::SETTINGS_UNUSABLE, "configuration unusable", settings_fault},
}};

// A row for each kind, in the kinds' order, and every cell said.
constexpr bool words_whole() {
  for (std::size_t i = 0; i < WORDS.size(); ++i)
    if (static_cast<std::size_t>(WORDS[i].kind) != i || WORDS[i].wall.empty() || WORDS[i].check.empty()) return false;
  return true;
}
static_assert(words_whole());

const Words& words_of(const FetchResult& result) {
  return WORDS[static_cast<std::size_t>(failure_kind(result))];
}

FailureKind trust_failure(const FetchResult& result) {
  switch (trust_failure_of(result)) {
    case TrustFailure::NONE: break;
    case TrustFailure::UNKNOWN_CA: return FailureKind::UNKNOWN_CA;
    case TrustFailure::EXPIRED: return FailureKind::EXPIRED;
    case TrustFailure::NOT_YET_VALID: return FailureKind::NOT_YET_VALID;
    case TrustFailure::NAME_MISMATCH: return FailureKind::NAME_MISMATCH;
    case TrustFailure::PIN_MISMATCH: return FailureKind::PIN_MISMATCH;
    case TrustFailure::OTHER_CHAIN: return FailureKind::OTHER_CHAIN;
    case TrustFailure::CA_FILE_UNUSABLE: return FailureKind::CA_FILE_UNUSABLE;
  }
  return FailureKind::TLS_FAILED;
}

FailureKind transport_failure(const FetchResult& result) {
  if (!header_limit_words(result).empty()) return FailureKind::HEADER_OVER_LIMIT;
  switch (result.curl_code) {
    case CURLE_COULDNT_RESOLVE_HOST: return FailureKind::NAME_NOT_RESOLVED;
    case CURLE_COULDNT_RESOLVE_PROXY: return FailureKind::PROXY_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT:
      return result.os_error == ECONNREFUSED ? FailureKind::CONNECTION_REFUSED : FailureKind::COULD_NOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT:
      // The connect bound covers the TLS handshake, as does "connected".
      return result.connected ? FailureKind::NO_ANSWER_IN_TIME : FailureKind::NO_CONNECTION_IN_TIME;
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
    case CURLE_USE_SSL_FAILED: return FailureKind::TLS_FAILED;
    case CURLE_UNSUPPORTED_PROTOCOL: return FailureKind::SCHEME_UNKNOWN;
    case CURLE_URL_MALFORMAT: return FailureKind::URL_MALFORMED;
    case CURLE_GOT_NOTHING: return FailureKind::NOTHING_ANSWERED;
    case CURLE_SEND_ERROR: return FailureKind::SEND_BROKE;
    case CURLE_RECV_ERROR: return FailureKind::RECEIVE_BROKE;
    case CURLE_PARTIAL_FILE: return FailureKind::BODY_CUT;
    case CURLE_WEIRD_SERVER_REPLY: return FailureKind::NO_HTTP;
    default: return FailureKind::TRANSFER_FAILED;
  }
}

}  // namespace

FailureKind failure_kind(const FetchResult& result) {
  switch (result.failure) {
    case FetchFailure::NONE: break;
    case FetchFailure::HTTP_STATUS: return FailureKind::HTTP_STATUS;
    case FetchFailure::NO_HANDLE: return FailureKind::NO_HANDLE;
    case FetchFailure::BODY_TOO_LARGE: return FailureKind::BODY_TOO_LARGE;
    case FetchFailure::HEADER_UNFINISHED: return FailureKind::HEADER_UNFINISHED;
    case FetchFailure::TRANSPORT: return transport_failure(result);
    case FetchFailure::PASSWORD_FILE: return FailureKind::PASSWORD_FILE_UNREADABLE;
    case FetchFailure::UNUSABLE_SETTINGS: return FailureKind::SETTINGS_UNUSABLE;
  }
  return FailureKind::TRANSFER_FAILED;
}

std::string failure_words(const FetchResult& result) {
  return result.ok() ? std::string() : words_of(result).check.of(result);
}

std::string wall_failure_words(const FetchResult& result) {
  return result.ok() ? std::string() : words_of(result).wall.of(result);
}

std::string status_text(long status) {
  std::string text = "HTTP status " + std::to_string(status);
  if (const StatusWords* words = status_words(status)) text += " (" + std::string(words->phrase) + ")";
  return text;
}
