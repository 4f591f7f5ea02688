// The reason under the banner: chosen from what the fetch, the page check
// and the data age recorded, in the wall's few words, and laid out on the
// row under the banner.
#include <gtest/gtest.h>

#include <cerrno>
#include <curl/curl.h>
#include <openssl/x509_vfy.h>
#include <string>

#include "layout/frame.h"
#include "layout/banner.h"
#include "refresh/banner_reason.h"
#include "fetch/data_age.h"
#include "fetch/failure_words.h"
#include "fetch/server_transfer.h"
#include "fetch/status_fetch.h"
#include "layout/clock_note.h"

namespace {

FetchResult failed(FetchFailure failure, int code = CURLE_OK, long status = 0) {
  FetchResult result;
  result.failure = failure;
  result.curl_code = code;
  result.status = status;
  result.header_complete = true;
  return result;
}

FetchResult transport(int code, long os_error = 0, double seconds = 0.1, long verify = X509_V_OK) {
  FetchResult result = failed(FetchFailure::TRANSPORT, code);
  result.os_error = os_error;
  result.seconds = seconds;
  result.tls_verify_result = verify;
  return result;
}

TEST(BannerReason, EachFailureInAFewWords) {
  struct Case {
    const char* name;
    FetchResult fetched;
    std::string reason;
  };
  FetchResult password_file = failed(FetchFailure::PASSWORD_FILE);
  password_file.error = "the password file /etc/orvek/pw cannot be read: Permission denied";
  FetchResult pin_line = failed(FetchFailure::UNUSABLE_SETTINGS);
  pin_line.error = "the pin line is malformed";
  // Connected, then the bound ran out; and the same under a check's
  // deadline of 5 s, whose figure the words quote.
  FetchResult connected = transport(CURLE_OPERATION_TIMEDOUT, 0, 30.0);
  connected.connected = true;
  FetchResult deadline_cut = connected;
  deadline_cut.transfer_bound = 5;
  const Case cases[] = {
      {"401", failed(FetchFailure::HTTP_STATUS, CURLE_OK, 401), "HTTP 401: user or password refused"},
      {"403", failed(FetchFailure::HTTP_STATUS, CURLE_OK, 403), "HTTP 403: access forbidden"},
      {"404", failed(FetchFailure::HTTP_STATUS, CURLE_OK, 404), "HTTP 404: no status page at that path"},
      {"302", failed(FetchFailure::HTTP_STATUS, CURLE_OK, 302), "HTTP 302: redirected elsewhere"},
      {"a 3xx without a phrase", failed(FetchFailure::HTTP_STATUS, CURLE_OK, 399), "HTTP 399: redirected elsewhere"},
      {"503", failed(FetchFailure::HTTP_STATUS, CURLE_OK, 503), "HTTP 503: server unavailable"},
      {"a 5xx without a phrase", failed(FetchFailure::HTTP_STATUS, CURLE_OK, 599), "HTTP 599: server error"},
      {"refused", transport(CURLE_COULDNT_CONNECT, ECONNREFUSED), "connection refused"},
      {"unreachable network", transport(CURLE_COULDNT_CONNECT, ENETUNREACH),
       "could not connect: Network is unreachable"},
      {"no name", transport(CURLE_COULDNT_RESOLVE_HOST), "name not resolved"},
      {"connect bound", transport(CURLE_OPERATION_TIMEDOUT, 0, 10.0), "no connection within 10 s"},
      {"transfer bound", connected, "no answer within 30 s"},
      {"a deadline's bound", deadline_cut, "no answer within 5 s"},
      {"unknown CA", transport(CURLE_PEER_FAILED_VERIFICATION, 0, 0.1, X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT),
       "certificate: unknown CA"},
      {"expired", transport(CURLE_PEER_FAILED_VERIFICATION, 0, 0.1, X509_V_ERR_CERT_HAS_EXPIRED),
       "certificate expired"},
      {"name mismatch", transport(CURLE_PEER_FAILED_VERIFICATION, 0, 0.1, X509_V_OK), "certificate name mismatch"},
      {"pin mismatch", transport(CURLE_SSL_PINNEDPUBKEYNOTMATCH), "certificate pin mismatch"},
      {"handshake", transport(CURLE_SSL_CONNECT_ERROR), "TLS handshake failed"},
      {"too large", failed(FetchFailure::BODY_TOO_LARGE, CURLE_WRITE_ERROR, 200), "page over 3,510,720 bytes"},
      {"password file", password_file, "password file unreadable"},
      {"pin line", pin_line, "configuration unusable"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(banner_reason({c.fetched, PageVerdict::NO_CARD, {}}), c.reason);
    // The shell's words for the same failure are its own, and never empty.
    if (c.fetched.failure != FetchFailure::HTTP_STATUS) {
      EXPECT_FALSE(failure_words(c.fetched).empty());
    }
  }
}

TEST(BannerReason, APageThatIsNotTheListSaysWhatItIs) {
  const FetchResult arrived;
  struct Case {
    PageVerdict verdict;
    std::string_view body;
    std::string reason;
  };
  const Case cases[] = {
      {PageVerdict::NO_CARD, "", "not the list of problems: an empty page"},
      {PageVerdict::NO_CARD, " \r\n", "not the list of problems: a page of blanks"},
      {PageVerdict::NO_CARD, "\n<!DOCTYPE html><html><body>Sign in</body></html>",
       "not the list of problems: an HTML page"},
      {PageVerdict::NO_CARD, "<?xml version='1.0'?><wml><p>Error: Could not read config</p></wml>",
       "not the list of problems: a WML page without its card"},
      {PageVerdict::NO_CARD, "{\"error\": \"denied\"}", "not the list of problems: a JSON answer"},
      {PageVerdict::NO_CARD, "Access denied\n", "not the list of problems: a text page"},
      {PageVerdict::CUT_SHORT, "<wml><card>", "page cut short: no </wml>"},
      {PageVerdict::NO_NAMES, "<p>CRI</p>", "not the list of problems: status words, no names"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    EXPECT_EQ(banner_reason({arrived, c.verdict, c.body}), c.reason);
  }
}

TEST(BannerReason, TheDataAge) {
  const FetchResult arrived;
  DataAgeFetch stale;
  stale.age.age_ms = 3600 * 1000;
  EXPECT_EQ(banner_reason({arrived, PageVerdict::STATUS_PAGE, {}, &stale, 300}), "status data older than maxage 300 s");
  DataAgeFetch refused;
  refused.fetched = failed(FetchFailure::HTTP_STATUS, CURLE_OK, 404);
  EXPECT_EQ(banner_reason({arrived, PageVerdict::STATUS_PAGE, {}, &refused, 300}),
            "data age unknown: HTTP 404: no status page at that path");
  DataAgeFetch timeless;
  timeless.age.problem = "the answer holds no query_time";
  EXPECT_EQ(banner_reason({arrived, PageVerdict::STATUS_PAGE, {}, &timeless, 300}),
            "data age unknown: answer without its times");
  // What came in place of the JSON, as read.
  DataAgeFetch sign_in;
  sign_in.age = read_data_age("<!DOCTYPE html>\n<html><title>Sign in</title></html>\n");
  EXPECT_EQ(banner_reason({arrived, PageVerdict::STATUS_PAGE, {}, &sign_in, 300}),
            "JSON status: not JSON (an HTML page)");
  DataAgeFetch garbled;
  garbled.age = read_data_age("{\"result\": {\"query_time\": 1");  // cut short
  EXPECT_EQ(banner_reason({arrived, PageVerdict::STATUS_PAGE, {}, &garbled, 300}), "JSON status: not JSON");
  // The list's own failure comes first: no data age was asked.
  const FetchResult refused_list = transport(CURLE_COULDNT_CONNECT, ECONNREFUSED);
  EXPECT_EQ(banner_reason({refused_list, PageVerdict::NO_CARD, {}, nullptr, 300}), "connection refused");
}

TEST(ReasonLine, UnderTheBannerCentredInTheBackgroundsColours) {
  const std::string text = "HTTP 401: user or password refused, since 14:02:11";
  struct Case {
    int rows, columns;
    int row, column;  // -1: not laid
  };
  const Case cases[] = {
      {24, 80, 13, 15},
      {25, 81, 13, 15},
      {24, 40, 13, 0},  // too narrow: from the left edge, cut at the right
      {1, 80, -1, -1},  // no row under the banner
      {2, 80, -1, -1},
      {3, 80, 2, 15},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.rows) + "x" + std::to_string(c.columns));
    Frame frame(c.rows, c.columns);
    show_reason_line(frame, text);
    if (c.row < 0) {
      EXPECT_TRUE(frame.labels.empty());
      continue;
    }
    ASSERT_EQ(frame.labels.size(), 1u);
    const Label& label = frame.labels[0];
    EXPECT_EQ(label.row, c.row);
    EXPECT_EQ(label.column, c.column);
    EXPECT_EQ(label.text, text);
    EXPECT_EQ(label.role, TEXT_ROLE);
    EXPECT_FALSE(label.bold);
    EXPECT_EQ(label.form, LabelForm::PLAIN);
    EXPECT_EQ(label.end_column, c.columns);
  }
  Frame frame(24, 80);
  show_reason_line(frame, "");
  EXPECT_TRUE(frame.labels.empty());
}

TEST(ReasonLine, SinceTheLocalTime) {
  // 1970-01-02 14:02:11 UTC.
  const std::time_t when = 86400 + 14 * 3600 + 2 * 60 + 11;
  setenv("TZ", "UTC", 1);
  tzset();
  EXPECT_EQ(reason_since_text("connection refused", when), "connection refused, since 14:02:11");
  // The cause changed within the run: since when it holds, and since when
  // no list came; one time when it did not change.
  EXPECT_EQ(reason_since_text("HTTP 401: user or password refused", when, when + 10),
            "HTTP 401: user or password refused, since 14:02:21 (no list since 14:02:11)");
  EXPECT_EQ(reason_since_text("connection refused", when, when), "connection refused, since 14:02:11");
}

}  // namespace
