// The receive buffer as libcurl fills it: chunks appended, the size bound,
// and the text the report reads.
#include <gtest/gtest.h>

#include <string>

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

}  // namespace
