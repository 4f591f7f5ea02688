#pragma once
// Why a fetch gave no page, in the words an operator looks for: the long
// form `orvek -t` prints, and the few words the wall shows under its banner
// (with -u). Both come from one table, so the shell and the wall never name
// one failure two ways.
#include <string>
#include <string_view>

struct FetchResult;

// "connection refused: nothing listens on that port", "no connection within
// 10 s", "name not resolved", "TLS handshake failed", ...; empty for a fetch
// that gave its page and for an HTTP status, which the caller names itself.
std::string failure_words(const FetchResult& result);

// The same failure in a few words for the wall: "connection refused",
// "certificate: unknown CA", "HTTP 401: user or password refused",
// "password file unreadable"; empty for a fetch that gave its page.
std::string wall_failure_words(const FetchResult& result);

// "HTTP status 401 (Unauthorized)"; the phrase only for the statuses a
// status server is known to send.
std::string status_text(long status);
