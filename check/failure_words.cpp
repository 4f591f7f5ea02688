#include "check/failure_words.h"

#include <cerrno>
#include <cstring>
#include <curl/curl.h>

#include "fetch/status_fetch.h"
#include "fetch/trust.h"

namespace {

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

std::string transport_words(const FetchResult& result) {
  if (std::string words = header_limit_words(result); !words.empty()) return words;
  switch (result.curl_code) {
    case CURLE_COULDNT_RESOLVE_HOST: return "name not resolved: no address for the server's host name";
    case CURLE_COULDNT_RESOLVE_PROXY: return "name not resolved: no address for the proxy named in the environment";
    case CURLE_COULDNT_CONNECT:
      if (result.os_error == ECONNREFUSED) return "connection refused: nothing listens on that port";
      if (result.os_error) return std::string("could not connect: ") + std::strerror(static_cast<int>(result.os_error));
      return "could not connect";
    case CURLE_OPERATION_TIMEDOUT:
      // Which bound ended it shows in the time taken. (libcurl's connect
      // time cannot tell: it stays 0 while a TLS handshake hangs, and the
      // connect bound covers the handshake.)
      if (result.seconds < (CONNECT_TIMEOUT_SECONDS + TRANSFER_TIMEOUT_SECONDS) / 2.0)
        return "no connection within " + std::to_string(CONNECT_TIMEOUT_SECONDS) + " s (TLS handshake included)";
      return "connected, but no complete answer within " + std::to_string(TRANSFER_TIMEOUT_SECONDS) + " s";
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_CACERT_BADFILE: return trust_failure_words(result);
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
    case CURLE_USE_SSL_FAILED: return "TLS handshake failed";
    case CURLE_UNSUPPORTED_PROTOCOL: return "the URL's scheme is one libcurl does not speak";
    case CURLE_URL_MALFORMAT: return "the URL is malformed";
    case CURLE_GOT_NOTHING: return "the server closed the connection without answering";
    case CURLE_SEND_ERROR: return "the connection broke while the request was sent";
    case CURLE_RECV_ERROR: return "the connection broke while the answer came";
    case CURLE_PARTIAL_FILE: return "the answer ended before all of its body came";
    case CURLE_WEIRD_SERVER_REPLY: return "the answer is no HTTP";
    default: return "the transfer failed";
  }
}

}  // namespace

std::string failure_words(const FetchResult& result) {
  switch (result.failure) {
    case FetchFailure::NONE:
    case FetchFailure::HTTP_STATUS: return {};
    case FetchFailure::NO_HANDLE: return "libcurl could not start a transfer";
    case FetchFailure::BODY_TOO_LARGE: return "body over 3,510,720 bytes, more than orvek takes";
    case FetchFailure::HEADER_UNFINISHED: return "the answer ended before its header section did";
    case FetchFailure::TRANSPORT: return transport_words(result);
    case FetchFailure::UNUSABLE_SETTINGS: return result.error;
  }
  return {};
}
