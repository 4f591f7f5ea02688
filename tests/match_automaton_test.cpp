#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "common/match_automaton.h"
#include "common/text_search.h"

namespace {

// The plain definition: every pattern found inside the text, without regard
// to case; of patterns equal without regard to case only the first.
std::vector<std::uint32_t> plain_matches(const std::vector<std::string_view>& patterns, std::string_view text) {
  std::vector<std::uint32_t> found;
  for (std::uint32_t p = 0; p < patterns.size(); ++p) {
    bool earlier_equal = false;
    for (std::uint32_t q = 0; q < p; ++q) earlier_equal = earlier_equal || equal_ignoring_case(patterns[q], patterns[p]);
    if (!earlier_equal && contains_ignoring_case(text, patterns[p])) found.push_back(p);
  }
  return found;
}

std::vector<std::uint32_t> automaton_matches(const std::vector<std::string_view>& patterns, std::string_view text) {
  const MatchAutomaton automaton = build_match_automaton(patterns);
  std::vector<std::uint32_t> named(patterns.size(), NO_PATTERN), found;
  find_patterns(automaton, text, named, 7, found);
  std::sort(found.begin(), found.end());
  return found;
}

struct MatchCase {
  const char* name;
  std::vector<std::string_view> patterns;
  std::string_view text;
};

void PrintTo(const MatchCase& c, std::ostream* out) { *out << c.name; }

class MatchAutomatonCases : public testing::TestWithParam<MatchCase> {};

TEST_P(MatchAutomatonCases, NamesWhatAPlainSearchFinds) {
  const MatchCase& c = GetParam();
  EXPECT_EQ(automaton_matches(c.patterns, c.text), plain_matches(c.patterns, c.text));
}

const MatchCase match_cases[] = {
    {"none", {}, "web01"},
    {"inside", {"eb0"}, "web01"},
    {"not_inside", {"web02"}, "web01"},
    {"whole_text", {"web01"}, "web01"},
    {"longer_than_text", {"web011"}, "web01"},
    {"case_of_letters", {"WEB"}, "xWeb01"},
    {"no_folding_beyond_ascii_letters", {"\xc3\x89"}, "\xc3\xa9"},
    {"bytes_other_than_letters", {"[", "{"}, "a{b"},
    {"empty_pattern_in_any_text", {"", "zz"}, "a"},
    {"empty_pattern_in_empty_text", {""}, ""},
    {"nothing_in_empty_text", {"a"}, ""},
    {"equal_but_for_case_named_once", {"Web", "wEB", "web"}, "WEB"},
    {"overlapping", {"aba", "bab", "abab"}, "xababx"},
    {"suffixes_of_each_other", {"a", "aa", "aaa", "aaaa"}, "baaab"},
    {"prefixes_of_each_other", {"web", "web1", "web12"}, "web12"},
    {"found_only_through_fail_links", {"abcd", "bce", "cx"}, "abcex"},
    {"many_children", {"a1", "a2", "a3", "a4", "a5", "a6", "a7", "a8", "a9", "aa", "ab"}, "a5a9ab"},
};

INSTANTIATE_TEST_SUITE_P(Table, MatchAutomatonCases, testing::ValuesIn(match_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// Small alphabets make patterns overlap and nest in every way.
TEST(MatchAutomaton, AgreesWithThePlainSearchOnRandomTexts) {
  std::mt19937 random(23);
  const std::string alphabet = "abAB'";
  for (int round = 0; round < 400; ++round) {
    std::vector<std::string> owned(random() % 12);
    for (std::string& p : owned)
      for (std::size_t n = random() % 6; n > 0; --n) p.push_back(alphabet[random() % alphabet.size()]);
    std::string text;
    for (std::size_t n = random() % 40; n > 0; --n) text.push_back(alphabet[random() % alphabet.size()]);
    const std::vector<std::string_view> patterns(owned.begin(), owned.end());
    ASSERT_EQ(automaton_matches(patterns, text), plain_matches(patterns, text)) << "round " << round << " text " << text;
  }
}

// Enough long patterns for a trie of thousands of nodes: past the first
// nodes (those with rows of transitions), where long single paths are laid
// out apart from the rest. Copies in other cases, prefixes of each other
// and texts cut from the patterns put matches at the ends and in the middle
// of such paths.
TEST(MatchAutomaton, AgreesWithThePlainSearchOnLargeTries) {
  std::mt19937 random(2311);
  const std::string alphabet = "abcAB";
  for (int round = 0; round < 12; ++round) {
    std::vector<std::string> owned(40 + random() % 40);
    for (std::string& p : owned)
      for (std::size_t n = 1 + random() % 120; n > 0; --n) p.push_back(alphabet[random() % alphabet.size()]);
    for (std::size_t k = 0; k < 10; ++k) {
      std::string copy = owned[random() % owned.size()];
      for (char& c : copy) c = static_cast<char>(random() % 2 ? std::toupper(c) : std::tolower(c));
      owned.push_back(copy);
      owned.push_back(copy.substr(0, random() % (copy.size() + 1)));
    }
    std::string text;
    while (text.size() < 3000) {
      const std::string& p = owned[random() % owned.size()];
      const std::size_t from = p.empty() ? 0 : random() % p.size();
      text += p.substr(from, random() % 150);
      text.push_back(alphabet[random() % alphabet.size()]);
    }
    const std::vector<std::string_view> patterns(owned.begin(), owned.end());
    ASSERT_EQ(automaton_matches(patterns, text), plain_matches(patterns, text)) << "round " << round;
  }
}

// Nodes past the first ones have no rows: a step there looks among the
// node's children, one by one up to a few and by bisection beyond. Here
// nodes 1,500 bytes deep have up to 60 children, and the texts step
// into each of them, past them, and fall back from them.
TEST(MatchAutomaton, AgreesWithThePlainSearchAtWideDeepNodes) {
  std::mt19937 random(2312);
  const std::string branches = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ!#$%&()*+,-./:;<=>?@[]^_{|}~";
  for (int round = 0; round < 6; ++round) {
    std::string stem;
    for (int n = 0; n < 1600; ++n) stem.push_back("ab"[random() % 2]);
    std::vector<std::string> owned;
    const std::size_t width = 3 + random() % 58;
    for (std::size_t b = 0; b < width; ++b) {
      std::string p = stem.substr(0, 1500 + random() % 3) + branches[random() % branches.size()];
      for (std::size_t n = random() % 4; n > 0; --n) p.push_back("ab"[random() % 2]);
      owned.push_back(p);
    }
    std::string text;
    for (int piece = 0; piece < 12; ++piece) {
      const std::string& p = owned[random() % owned.size()];
      text += p.substr(0, p.size() - random() % 3);
      text.push_back(branches[random() % branches.size()]);
    }
    const std::vector<std::string_view> patterns(owned.begin(), owned.end());
    ASSERT_EQ(automaton_matches(patterns, text), plain_matches(patterns, text)) << "round " << round;
  }
}

// One stamp over several texts names each pattern once among them all; a
// new stamp names them again.
TEST(MatchAutomaton, AStampNamesEachPatternOnce) {
  const std::vector<std::string_view> patterns{"a", "aa", "b"};
  const MatchAutomaton automaton = build_match_automaton(patterns);
  std::vector<std::uint32_t> named(patterns.size(), NO_PATTERN), found;
  find_patterns(automaton, "aaa", named, 1, found);
  find_patterns(automaton, "aab", named, 1, found);
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<std::uint32_t>{0, 1, 2}));
  found.clear();
  find_patterns(automaton, "ba", named, 2, found);
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<std::uint32_t>{0, 2}));
}

// Against the plain definition: at each end, the longest pattern ending
// there, letters without regard to case; nothing where none ends.
TEST(MatchAutomaton, NamesTheLongestPatternAtEachEnd) {
  const std::vector<std::string_view> patterns = {"he", "SHE", "hers", "his", "e", "aaa", "a"};
  for (const std::string_view text : {"ushers", "aaaaa hHiS she", "", "xyz", "hershe"}) {
    std::vector<std::pair<std::size_t, std::uint32_t>> expected, found;
    for (std::size_t end = 1; end <= text.size(); ++end) {
      std::uint32_t longest = NO_PATTERN;
      for (std::uint32_t p = 0; p < patterns.size(); ++p)
        if (patterns[p].size() <= end && equal_ignoring_case(text.substr(end - patterns[p].size(), patterns[p].size()), patterns[p]) &&
            (longest == NO_PATTERN || patterns[p].size() > patterns[longest].size()))
          longest = p;
      if (longest != NO_PATTERN) expected.emplace_back(end, longest);
    }
    find_longest_ends(build_match_automaton(patterns), text,
                      [&](std::size_t end, std::uint32_t pattern) { found.emplace_back(end, pattern); });
    EXPECT_EQ(found, expected) << text;
  }
}

}  // namespace
