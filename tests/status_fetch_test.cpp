// The receive buffer as libcurl fills it: chunks appended, the size bound,
// and the text the report reads; the schemes a 401's challenges offer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fetch/status_fetch.h"

namespace {

using namespace std::string_literals;

std::size_t append(ReceiveBuffer& buffer, std::string chunk) {
  return on_body_chunk(chunk.data(), 1, chunk.size(), &buffer);
}

TEST(ReceiveBuffer, ChunksAreAppendedAndTheTextEndsAtTheFirstZeroByte) {
  ReceiveBuffer buffer = make_receive_buffer();
  EXPECT_EQ(append(buffer, "a CRI\nb WRN"), 11u);
  EXPECT_EQ(append(buffer, ""), 0u);  // an empty chunk is taken too
  EXPECT_EQ(append(buffer, "\0c UNK\n"s), 7u);
  EXPECT_EQ(buffer.length, 18u);
  EXPECT_EQ(received_text(buffer), "a CRI\nb WRN");
}

TEST(ReceiveBuffer, ResetEmptiesTheBodySoNoOldTextIsReadAgain) {
  ReceiveBuffer buffer = make_receive_buffer();
  append(buffer, "old DWN\n");
  reset_received_body(buffer);
  EXPECT_EQ(received_text(buffer), "");
}

TEST(ReceiveBuffer, TakesExactlyTheLimitAndRefusesOneByteMore) {
  ReceiveBuffer buffer = make_receive_buffer();
  const std::string block(RECEIVE_LIMIT / 4, 'x');
  for (int i = 0; i < 4; ++i) ASSERT_EQ(append(buffer, block), block.size());
  EXPECT_EQ(buffer.length, RECEIVE_LIMIT);
  EXPECT_FALSE(buffer.refused);
  EXPECT_EQ(append(buffer, "y"), 0u);  // libcurl fails the transfer
  EXPECT_TRUE(buffer.refused);
  EXPECT_EQ(buffer.length, RECEIVE_LIMIT);
  reset_received_body(buffer);
  EXPECT_FALSE(buffer.refused);
}

struct ChallengeCase {
  const char* name;
  std::vector<std::string> headers;  // the WWW-Authenticate values of one answer
  std::vector<std::string> schemes;
};

void PrintTo(const ChallengeCase& c, std::ostream* out) { *out << c.name; }

class ChallengeSchemes : public testing::TestWithParam<ChallengeCase> {};

TEST_P(ChallengeSchemes, AreNamedOnceEachInOrder) {
  std::vector<std::string> schemes;
  for (const std::string& value : GetParam().headers) add_challenge_schemes(value, schemes);
  EXPECT_EQ(schemes, GetParam().schemes);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ChallengeSchemes,
    testing::Values(
        ChallengeCase{"basic", {"Basic realm=\"orvek status\""}, {"Basic"}},
        // lighttpd offers Digest twice, one algorithm each; commas inside quotes part nothing.
        ChallengeCase{"digest_twice",
                      {"Digest realm=\"a, b\", charset=UTF-8, nonce=\"1\", qop=\"auth\", algorithm=SHA-256",
                       "Digest realm=\"a, b\", charset=UTF-8, nonce=\"2\", qop=\"auth\", algorithm=MD5"},
                      {"Digest"}},
        ChallengeCase{"two_in_one_header", {"Digest realm=\"x\", nonce=\"n\", Basic realm=\"y\""}, {"Digest", "Basic"}},
        // An escaped quote does not end the quoted text.
        ChallengeCase{"escaped_quote",
                      {"Newauth realm=\"apps\", type=1, title=\"Login to \\\"apps, x\\\"\", Basic realm=\"simple\""},
                      {"Newauth", "Basic"}},
        ChallengeCase{"token68_and_bare", {"Negotiate YWJj==", "NTLM"}, {"Negotiate", "NTLM"}},
        ChallengeCase{"case_folded", {"Basic realm=x", "basic realm=y"}, {"Basic"}},
        ChallengeCase{"empty_and_stray_commas", {"", " , ,Basic"}, {"Basic"}},
        ChallengeCase{"bounded",
                      {"A1, A2, A3, A4, A5, A6, A7, A8, A9, A10"},
                      {"A1", "A2", "A3", "A4", "A5", "A6", "A7", "A8"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
