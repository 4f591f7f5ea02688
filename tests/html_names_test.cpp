// Names of the plain HTML rendition, with their character references decoded.
#include <gtest/gtest.h>

#include <string>

#include "report/html_names.h"

namespace {

struct DecodeCase {
  const char* name;
  std::string written, shown;
};

void PrintTo(const DecodeCase& c, std::ostream* out) { *out << c.name; }

const DecodeCase decode_cases[] = {
    {"plain", "web1/Load", "web1/Load"},
    {"named", "Tom &amp; Jerry &lt;a&gt; &quot;q&quot; &apos;", "Tom & Jerry <a> \"q\" '"},
    {"numeric", "Joe&#39;s &#x41;&#X42; &#233;", "Joe's AB \xc3\xa9"},
    {"no_break_space", "a&nbsp;b", "a\xc2\xa0" "b"},
    {"four_byte_character", "&#128512;", "\xf0\x9f\x98\x80"},
    // What names no character stays as written.
    {"unknown_name", "&eacute; &bogus;", "&eacute; &bogus;"},
    {"no_semicolon", "a & b &amp", "a & b &amp"},
    {"zero_surrogate_and_too_large", "&#0;&#xD800;&#x110000;", "&#0;&#xD800;&#x110000;"},
    {"not_decoded_twice", "&amp;lt;", "&lt;"},
};

class HtmlDecode : public testing::TestWithParam<DecodeCase> {};

TEST_P(HtmlDecode, AsTheRenditionMeantIt) {
  std::string out;
  append_html_decoded(out, GetParam().written);
  EXPECT_EQ(out, GetParam().shown);
  EXPECT_LE(out.size(), GetParam().written.size());
}

INSTANTIATE_TEST_SUITE_P(Table, HtmlDecode, testing::ValuesIn(decode_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HtmlNames, DecodedIntoOneStoreOnlyWhereNeeded) {
  std::vector<LineNames> names(3);
  names[0].host = "a&amp;b";
  names[0].service = "plain";
  names[1].host = "c";
  names[2].service = "&#39;x";
  const auto store = decode_html_names(names);
  ASSERT_TRUE(store);
  EXPECT_EQ(names[0].host, "a&b");
  EXPECT_EQ(names[0].service, "plain");
  EXPECT_EQ(names[2].service, "'x");
  EXPECT_EQ(names[0].host.data(), store->data());
  std::vector<LineNames> plain(1);
  plain[0].host = "web1";
  EXPECT_FALSE(decode_html_names(plain));
}

TEST(HtmlNames, KnowsTheDocument) {
  EXPECT_TRUE(is_html_page("<!DOCTYPE html>\n<HTML><body>"));
  EXPECT_FALSE(is_html_page("<?xml version='1.0'?>\n<wml><card><p>&lt;html&gt;"));
  EXPECT_FALSE(is_html_page("<wml><card><html>"));
  EXPECT_FALSE(is_html_page("plain text"));
}

}  // namespace
