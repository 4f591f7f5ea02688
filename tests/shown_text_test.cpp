// Text from outside as orvek -t shows it: no control character of either
// set reaches the terminal, letters stay letters.
#include <gtest/gtest.h>

#include <string>

#include "check/shown_text.h"

namespace {

TEST(ShownText, ControlCharactersOfBothSetsAreEscaped) {
  const std::pair<std::string, std::string> cases[] = {
      {"a\x1b[2Jb", "a^[[2Jb"},                  // C0 escape
      {"del\x7f", "del^?"},                       // DEL
      {"csi\xC2\x9B" "2J", "csiM-^[2J"},          // U+009B, the eight-bit CSI, in UTF-8
      {"nel\xC2\x85", "nelM-^E"},                 // U+0085
      {"lone\x9B" "2J", "loneM-^[2J"},            // a lone 0x9B byte
      {"lone\x80", "loneM-^@"},                   // a lone 0x80 byte
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},  // letters stay
      {"nbsp\xC2\xA0", "nbsp\xC2\xA0"},           // U+00A0 is no control
      {"\xC5\x91", "\xC5\x91"},                   // a continuation byte 0x91 inside a letter
      {"cut\xC2", "cut\xC2"},                     // a cut sequence that is no control
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(shown(text, {}), expected);
}

TEST(ShownText, PageExcerptEscapesC1Too) {
  EXPECT_EQ(page_excerpt("<p>Error \xC2\x9B" "31m red</p>", {}), "Error M-^[31m red");
}

}  // namespace
