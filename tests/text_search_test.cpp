// Tags found without regard to case, where the page check, the row and line
// readers and the page excerpt look for them.
#include <gtest/gtest.h>

#include <string_view>

#include "common/text_search.h"

namespace {

constexpr auto npos = std::string_view::npos;

TEST(TagSearch, FirstTagFromAPlace) {
  struct Case {
    std::string_view text;
    std::string_view tag;
    std::size_t from;
    std::size_t found;
  };
  const Case cases[] = {
      {"<p><Card id='c'>", "<card", 0, 3},     // case-blind
      {"card <b>", "<card", 0, npos},          // the name alone is no tag
      {"<card><CARD>", "<card", 1, 6},         // from a later place
      {"<card>", "<card", 6, npos},            // from the end
      {"<card>", "<card", 99, npos},           // from beyond the end
      {"<car", "<card", 0, npos},              // cut short at the end
      {"<<table", "<table", 0, 1},             // a '<' that starts nothing
      {"x</TABLE>", "</table>", 0, 1},
  };
  for (const Case& c : cases) EXPECT_EQ(find_tag(c.text, c.tag, c.from), c.found) << c.text << " " << c.tag;
}

TEST(TagSearch, LastTag) {
  struct Case {
    std::string_view text;
    std::string_view tag;
    std::size_t found;
  };
  const Case cases[] = {
      {"<wml></WML>x</wml", "</wml>", 5},  // the last one whole
      {"</wml> text", "</wml>", 0},        // at the very start
      {"", "</wml>", npos},
      {"no tags at all", "</wml>", npos},
  };
  for (const Case& c : cases) EXPECT_EQ(find_last_tag(c.text, c.tag), c.found) << c.text;
}

TEST(TagSearch, TagAtAPlace) {
  EXPECT_TRUE(tag_at("x<TD>", 1, "<td"));
  EXPECT_FALSE(tag_at("x<TD>", 0, "<td"));
  EXPECT_FALSE(tag_at("<t", 0, "<td"));   // cut short
  EXPECT_FALSE(tag_at("<td", 4, "<td"));  // beyond the end
}

TEST(TagSearch, CommentEnd) {
  EXPECT_EQ(comment_end("x<!-- <tr> -->y", 1), 14u);
  EXPECT_EQ(comment_end("<!---->", 0), 7u);
  EXPECT_EQ(comment_end("<!-->", 0), npos);  // its own "--" closes nothing
  EXPECT_EQ(comment_end("<!-- never", 0), npos);
}

}  // namespace
