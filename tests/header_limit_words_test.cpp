// libcurl's bounds on an answer's header section, told as such: it says
// "Out of memory" for a line over its bound and gives a byte count for a
// section over it.
#include <gtest/gtest.h>

#include <curl/curl.h>
#include <string>

#include "check/failure_words.h"
#include "fetch/status_fetch.h"

namespace {

FetchResult cut_header(int code, std::size_t bytes, std::size_t challenges, long status = 401) {
  FetchResult result;
  result.failure = FetchFailure::TRANSPORT;
  result.curl_code = code;
  result.status = status;
  result.header_bytes = bytes;
  result.challenge_headers = challenges;
  return result;
}

TEST(HeaderLimitWords, NameTheBoundNotTheMemory) {
  struct Case {
    const char* name;
    FetchResult fetched;
    std::string words;
  };
  FetchResult complete = cut_header(CURLE_OUT_OF_MEMORY, 200, 0, 200);
  complete.header_complete = true;
  const Case cases[] = {
      {"a line over 100 KiB", cut_header(CURLE_OUT_OF_MEMORY, 200, 0, 200),
       "a header line of the answer is over libcurl's limit of 100 KiB (a WWW-Authenticate header with thousands "
       "of schemes, say)"},
      {"a section over 300 KiB", cut_header(CURLE_RECV_ERROR, 300000, 8000),
       "the answer's header section is over libcurl's limit of 300 KiB (8000 WWW-Authenticate headers in it)"},
      {"a section over 300 KiB without challenges", cut_header(CURLE_RECV_ERROR, 250000, 0),
       "the answer's header section is over libcurl's limit of 300 KiB"},
      // No status line yet, or a finished header section: the usual words.
      {"no answer at all", cut_header(CURLE_OUT_OF_MEMORY, 0, 0, 0), "the transfer failed"},
      {"the body's trouble", complete, "the transfer failed"},
      {"a broken connection mid-header", cut_header(CURLE_RECV_ERROR, 1000, 1),
       "the connection broke while the answer came"},
  };
  for (const Case& c : cases) EXPECT_EQ(failure_words(c.fetched), c.words) << c.name;
}

}  // namespace
