// A long line of the user's, as a check from the shell shows it: its
// beginning, no character cut in two, "..." for what is left out.
#include <gtest/gtest.h>

#include <string>

#include "common/shown_limits.h"

namespace {

TEST(ShownLine, CutAtTheLimitWithoutSplittingACharacter) {
  const std::string e_acute = "\xC3\xA9";
  const std::string euro = "\xE2\x82\xAC";
  const std::string a(SHOWN_LINE_LIMIT, 'a');
  struct Case {
    std::string line;
    std::string shown;
  };
  const Case cases[] = {
      {a, a},                                                   // just fits
      {a + "b", a + "..."},                                     // one byte over
      {a + e_acute, a + "..."},                                 // a character after the limit
      {a.substr(1) + e_acute, a.substr(1) + "..."},             // the limit inside a character
      {a.substr(2) + euro + "b", a.substr(2) + "..."},          // three bytes across the limit
      {a.substr(3) + euro + "b", a.substr(3) + euro + "..."},   // ends just at the limit
  };
  for (const Case& c : cases) EXPECT_EQ(shown_line_start(c.line), c.shown) << c.line.size();
}

}  // namespace
