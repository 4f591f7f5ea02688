#pragma once
// Why the wall shows its banner, in a few words, for the row under it (-u):
// an operator in front of the wall tells a changed password from a stopped
// server or an expired certificate without a shell. Chosen from what the
// fetch, the page check and the data age already recorded; nothing is
// fetched or read again.
#include <cstdint>
#include <string>
#include <string_view>

#include "report/page_check.h"

struct FetchResult;
struct DataAgeFetch;

// The banner's cause, as the refresh found it.
struct BannerCause {
  const FetchResult& fetched;         // the list's fetch
  PageVerdict verdict;                // the page check's verdict, when the list arrived
  std::string_view body;              // the list's body, when it arrived
  const DataAgeFetch* age = nullptr;  // the data age's fetch, when it put up the banner
  std::uint32_t max_age = 0;          // maxage, in seconds
  PageKind kind = PageKind::OTHER;    // the kind of page, as the reading decided it
};

// "HTTP 401: user or password refused", "connection refused", "certificate:
// unknown CA", "not the list of problems: an HTML page", "status data older
// than maxage 300 s", ...
std::string banner_reason(const BannerCause& cause);
