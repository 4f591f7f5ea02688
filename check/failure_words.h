#pragma once
// Why a fetch gave no page, in the words an operator looks for.
#include <string>

struct FetchResult;

// "connection refused", "no connection within 10 s", "name not resolved",
// "TLS handshake failed", ...; empty for a fetch that gave its page and for
// an HTTP status, which the caller names itself.
std::string failure_words(const FetchResult& result);
