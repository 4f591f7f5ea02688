#pragma once
// Why a fetch gave no page, in the words an operator looks for: the long
// form `orvek -t` prints, and the few words the wall shows under its banner
// (with -u). Both come from one table, a row for each failure, so the shell
// and the wall never name one failure two ways.
#include <string>

struct FetchResult;

// Every way a fetch can fail that the words tell apart.
enum class FailureKind {
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

// The row a failed fetch's words come from; meaningless for a fetch that
// gave its page.
FailureKind failure_kind(const FetchResult& result);

// "connection refused: nothing listens on that port", "no connection within
// N s (TLS handshake included)", "HTTP status 401 (Unauthorized)", ...;
// empty for a fetch that gave its page.
std::string failure_words(const FetchResult& result);

// The same failure in a few words for the wall: "connection refused",
// "certificate: unknown CA", "HTTP 401: user or password refused",
// "password file unreadable"; empty for a fetch that gave its page.
std::string wall_failure_words(const FetchResult& result);

// "HTTP status 401 (Unauthorized)"; the phrase only for the statuses a
// status server is known to send.
std::string status_text(long status);
