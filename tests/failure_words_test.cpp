// Every failure the words tell apart has its row, and both views have
// words for it: the wall's few under the banner, and those of orvek -t.
#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <curl/curl.h>
#include <openssl/x509_vfy.h>

#include "fetch/failure_words.h"
#include "fetch/status_fetch.h"

namespace {

FetchResult failed(FetchFailure failure, int code = CURLE_OK) {
  FetchResult result;
  result.failure = failure;
  result.curl_code = code;
  result.header_complete = true;
  return result;
}

FetchResult refused(int code, long verify = X509_V_OK) {
  FetchResult result = failed(FetchFailure::TRANSPORT, code);
  result.tls_verify_result = verify;
  return result;
}

TEST(FailureWords, EveryKindSaidOnTheWallAndInTheShell) {
  FetchResult status = failed(FetchFailure::HTTP_STATUS);
  status.status = 401;
  FetchResult header_over = failed(FetchFailure::TRANSPORT, CURLE_OUT_OF_MEMORY);
  header_over.status = 401;
  header_over.header_complete = false;
  FetchResult refused_port = failed(FetchFailure::TRANSPORT, CURLE_COULDNT_CONNECT);
  refused_port.os_error = ECONNREFUSED;
  FetchResult unreachable = refused_port;
  unreachable.os_error = ENETUNREACH;
  FetchResult connected = failed(FetchFailure::TRANSPORT, CURLE_OPERATION_TIMEDOUT);
  connected.connected = true;
  FetchResult password_file = failed(FetchFailure::PASSWORD_FILE);
  password_file.error = "the password file /etc/orvek/pw cannot be read: Permission denied";
  FetchResult pin_line = failed(FetchFailure::UNUSABLE_SETTINGS);
  pin_line.error = "the pin line has no value";
  const std::pair<FailureKind, FetchResult> cases[] = {
      {FailureKind::HTTP_STATUS, status},
      {FailureKind::NO_HANDLE, failed(FetchFailure::NO_HANDLE)},
      {FailureKind::BODY_TOO_LARGE, failed(FetchFailure::BODY_TOO_LARGE, CURLE_WRITE_ERROR)},
      {FailureKind::HEADER_UNFINISHED, failed(FetchFailure::HEADER_UNFINISHED)},
      {FailureKind::HEADER_OVER_LIMIT, header_over},
      {FailureKind::NAME_NOT_RESOLVED, refused(CURLE_COULDNT_RESOLVE_HOST)},
      {FailureKind::PROXY_NOT_RESOLVED, refused(CURLE_COULDNT_RESOLVE_PROXY)},
      {FailureKind::CONNECTION_REFUSED, refused_port},
      {FailureKind::COULD_NOT_CONNECT, unreachable},
      {FailureKind::NO_CONNECTION_IN_TIME, refused(CURLE_OPERATION_TIMEDOUT)},
      {FailureKind::NO_ANSWER_IN_TIME, connected},
      {FailureKind::UNKNOWN_CA, refused(CURLE_PEER_FAILED_VERIFICATION, X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT)},
      {FailureKind::EXPIRED, refused(CURLE_PEER_FAILED_VERIFICATION, X509_V_ERR_CERT_HAS_EXPIRED)},
      {FailureKind::NOT_YET_VALID, refused(CURLE_PEER_FAILED_VERIFICATION, X509_V_ERR_CERT_NOT_YET_VALID)},
      {FailureKind::NAME_MISMATCH, refused(CURLE_PEER_FAILED_VERIFICATION)},
      {FailureKind::PIN_MISMATCH, refused(CURLE_SSL_PINNEDPUBKEYNOTMATCH)},
      {FailureKind::OTHER_CHAIN, refused(CURLE_PEER_FAILED_VERIFICATION, X509_V_ERR_CERT_SIGNATURE_FAILURE)},
      {FailureKind::CA_FILE_UNUSABLE, refused(CURLE_SSL_CACERT_BADFILE)},
      {FailureKind::TLS_FAILED, refused(CURLE_SSL_CONNECT_ERROR)},
      {FailureKind::SCHEME_UNKNOWN, refused(CURLE_UNSUPPORTED_PROTOCOL)},
      {FailureKind::URL_MALFORMED, refused(CURLE_URL_MALFORMAT)},
      {FailureKind::NOTHING_ANSWERED, refused(CURLE_GOT_NOTHING)},
      {FailureKind::SEND_BROKE, refused(CURLE_SEND_ERROR)},
      {FailureKind::RECEIVE_BROKE, refused(CURLE_RECV_ERROR)},
      {FailureKind::BODY_CUT, refused(CURLE_PARTIAL_FILE)},
      {FailureKind::NO_HTTP, refused(CURLE_WEIRD_SERVER_REPLY)},
      {FailureKind::TRANSFER_FAILED, refused(CURLE_ABORTED_BY_CALLBACK)},
      {FailureKind::PASSWORD_FILE_UNREADABLE, password_file},
      {FailureKind::SETTINGS_UNUSABLE, pin_line},
  };
  std::array<bool, static_cast<std::size_t>(FailureKind::COUNT)> walked{};
  for (const auto& [kind, fetched] : cases) {
    SCOPED_TRACE(static_cast<int>(kind));
    EXPECT_EQ(failure_kind(fetched), kind);
    EXPECT_FALSE(wall_failure_words(fetched).empty());
    EXPECT_FALSE(failure_words(fetched).empty());
    walked[static_cast<std::size_t>(kind)] = true;
  }
  for (std::size_t kind = 0; kind < walked.size(); ++kind) EXPECT_TRUE(walked[kind]) << "no case for kind " << kind;
  // A fetch that gave its page has no failure to name.
  EXPECT_EQ(failure_words(FetchResult{}), "");
  EXPECT_EQ(wall_failure_words(FetchResult{}), "");
}

}  // namespace

// A body over its bound quotes the bound it outgrew: the list's, or the
// smaller one of the JSON status CGI's answer.
TEST(FailureWords, ABodyOverItsBoundQuotesThatBound) {
  FetchResult list = failed(FetchFailure::BODY_TOO_LARGE, CURLE_WRITE_ERROR);
  EXPECT_EQ(wall_failure_words(list), "page over 3,510,720 bytes");
  EXPECT_EQ(failure_words(list), "body over 3,510,720 bytes, more than orvek takes");
  FetchResult json = list;
  json.body_bound = 1 << 20;
  EXPECT_EQ(wall_failure_words(json), "page over 1,048,576 bytes");
  EXPECT_EQ(failure_words(json), "body over 1,048,576 bytes, more than orvek takes");
}
