// Byte counts grouped by thousands, a comma between each three digits.
#include <gtest/gtest.h>

#include <utility>

#include "common/grouped_number.h"

namespace {

TEST(GroupedNumber, ACommaBeforeEachThreeDigitsFromTheRight) {
  const std::pair<std::size_t, const char*> cases[] = {
      {0, "0"},           {999, "999"},           {1000, "1,000"},
      {100000, "100,000"}, {3510720, "3,510,720"}, {1234567890, "1,234,567,890"},
  };
  for (const auto& [number, text] : cases) EXPECT_EQ(grouped(number), text) << number;
}

}  // namespace
