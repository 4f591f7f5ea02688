#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

#include "common/text_search.h"
#include "config/exclude_list.h"

namespace {

namespace fs = std::filesystem;

ExcludeList load_text(const std::string& text) {
  const fs::path path = fs::temp_directory_path() / ("orvek-exclude-" + std::to_string(::getpid()));
  std::ofstream(path, std::ios::binary) << text;
  ExcludeList list = load_exclude_list(path.c_str());
  fs::remove(path);
  return list;
}

struct LookupCase {
  const char* name;
  std::string file;
  std::string subject;
  bool host_hidden;
  bool service_hidden;
};

// Test listings name the case, not its bytes.
void PrintTo(const LookupCase& c, std::ostream* out) { *out << c.name; }

class ExcludeLookup : public testing::TestWithParam<LookupCase> {};

TEST_P(ExcludeLookup, HidesHostsByExactNameAndServicesBySubstring) {
  const LookupCase& c = GetParam();
  const ExcludeList list = load_text(c.file);
  EXPECT_EQ(host_is_excluded(list, c.subject), c.host_hidden);
  EXPECT_EQ(service_is_excluded(list, c.subject), c.service_hidden);
}

const LookupCase lookup_cases[] = {
    {"exact_host", "web\n", "web", true, true},
    {"longer_host_not_hidden_but_service_is", "web\n", "web1", false, true},
    {"case_differs", "web\n", "Web", false, true},
    {"inside_service_name", "web\n", "Web Server", false, true},
    {"unrelated", "web\n", "Load", false, false},
    {"empty_line_hides_every_service", "db\n\nmail\n", "Load", false, true},
    {"trailing_empty_line_hides_every_service", "db\n\n", "Load", false, true},
    {"last_line_without_newline_is_no_entry", "db\nLoad", "Load", false, false},
    {"trailing_space_kept", "web \n", "web", false, false},
    {"carriage_return_kept", "web\r\n", "web", false, false},
    {"hash_is_not_a_comment", "#web\n", "#web", true, true},
    {"second_of_many", "a1\nweb\nz9\n", "web", true, true},
};

INSTANTIATE_TEST_SUITE_P(Table, ExcludeLookup, testing::ValuesIn(lookup_cases),
                         [](const auto& info) { return std::string(info.param.name); });

struct EntriesCase {
  const char* name;
  std::vector<std::string> entries;
  std::string subject;
  bool host_hidden;
  bool service_hidden;
};

void PrintTo(const EntriesCase& c, std::ostream* out) { *out << c.name; }

class ExcludeEntries : public testing::TestWithParam<EntriesCase> {};

// Many entries searched at once: where one entry's partial match breaks off,
// the search must go on from the longest suffix that another entry begins with.
TEST_P(ExcludeEntries, FindsEveryEntryInOnePass) {
  const EntriesCase& c = GetParam();
  const ExcludeList list = make_exclude_list(c.entries);
  EXPECT_EQ(host_is_excluded(list, c.subject), c.host_hidden);
  EXPECT_EQ(service_is_excluded(list, c.subject), c.service_hidden);
}

const EntriesCase entries_cases[] = {
    {"overlapping_entries", {"abc", "bcd"}, "xbcdx", false, true},
    {"overlapping_entries_neither_whole", {"abc", "bcd"}, "abdbc", false, false},
    {"shorter_entry_inside_a_longer_one_found", {"abcd", "bc"}, "xabce", false, true},
    {"entry_is_suffix_of_another", {"backup", "up"}, "Startup", false, true},
    {"entry_is_prefix_of_another", {"abcd", "ab"}, "xabx", false, true},
    {"longer_entry_after_its_prefix_entry", {"ab", "abcd"}, "abcd", true, true},
    {"suffix_link_then_its_own_edge", {"abcd", "bcf"}, "xabcf", false, true},
    {"two_suffix_links_in_a_row", {"abcx", "bcy", "cz"}, "abcz", false, true},
    {"suffix_links_dead_end", {"abcx", "bcy", "cz"}, "abcbcaz", false, false},
    {"repeated_letter_restarts_inside", {"aab"}, "aaab", false, true},
    {"self_overlap", {"abab"}, "abaabab", false, true},
    {"self_overlap_not_there", {"abab"}, "abaaba", false, false},
    {"classic_set", {"he", "she", "his", "hers"}, "ushers", false, true},
    {"classic_set_missed", {"hers", "his", "she"}, "shhe rs", false, false},
    {"entry_longer_than_name", {"abcdef"}, "abc", false, false},
    {"entry_at_very_end", {"x", "qz"}, "aaaqz", false, true},
    {"mixed_case_both_sides", {"HtTp"}, "hTtPs", false, true},
    {"host_needs_same_case", {"HtTp"}, "http", false, true},
    {"duplicate_entries", {"web", "web"}, "web", true, true},
    {"brackets_are_not_letters", {"["}, "{", false, false},
    {"at_sign_is_not_a_letter", {"@"}, "`", false, false},
    {"high_bytes_not_folded", {"\xC0"}, "\xE0", false, false},
    {"high_bytes_not_folded_either_way", {"\xE0"}, "\xC0", false, false},
    {"utf8_letters_keep_their_case", {"caf\xC3\xA9"}, "CAF\xC3\x89", false, false},
    {"utf8_name_found_with_ascii_folded", {"caf\xC3\xA9"}, "Le CAF\xC3\xA9", false, true},
    {"zero_byte_inside", {std::string("a\0b", 3)}, std::string("xa\0bx", 5), false, true},
    {"zero_byte_ends_no_search", {"b"}, std::string("a\0b", 3), false, true},
    {"many_children_at_one_node",
     {"k0", "k1", "k2", "k3", "k4", "k5", "k6", "k7", "k8", "k9", "kx", "k\xFF"}, "K\xFF", false, true},
    {"many_children_none_fits",
     {"k0", "k1", "k2", "k3", "k4", "k5", "k6", "k7", "k8", "k9", "kx", "k\xFF"}, "k\xFEk", false, false},
    {"empty_entry_hides_every_service", {"zzz", ""}, "Load", false, true},
    {"empty_entry_hides_the_empty_name", {"zzz", ""}, "", true, true},
    {"empty_name_hidden_by_no_other_entry", {"zzz"}, "", false, false},
    {"no_entries", {}, "Load", false, false},
};

INSTANTIATE_TEST_SUITE_P(Table, ExcludeEntries, testing::ValuesIn(entries_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// Thousands of short entries over a small alphabet (cases and high bytes
// mixed), so that names hit and miss in every way: both lookups answer as
// the plain rule, one entry after another, does. A copy of the list answers
// alike once the original is gone.
TEST(ExcludeList, ManyEntriesAnswerAsThePlainRule) {
  std::mt19937 random(11);
  const std::string alphabet = "abAB-\xC1\xE1";
  auto word = [&](int low, int high) {
    std::string text(std::uniform_int_distribution<int>(low, high)(random), ' ');
    for (char& c : text) c = alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(random)];
    return text;
  };
  std::vector<std::string> entries;
  for (int k = 0; k < 4000; ++k) entries.push_back(word(5, 9));
  std::vector<std::string> names;
  for (int k = 0; k < 2000; ++k) names.push_back(word(0, 14));
  for (int k = 0; k < 200; ++k) names.push_back(entries[static_cast<std::size_t>(k) * 7]);

  ExcludeList original = make_exclude_list(entries);
  const ExcludeList list = original;
  original = ExcludeList{};
  int hosts = 0, services = 0;
  for (const std::string& name : names) {
    const bool host = std::find(entries.begin(), entries.end(), name) != entries.end();
    const bool service = std::any_of(entries.begin(), entries.end(),
                                     [&](const std::string& e) { return contains_ignoring_case(name, e); });
    ASSERT_EQ(host_is_excluded(list, name), host) << name;
    ASSERT_EQ(service_is_excluded(list, name), service) << name;
    hosts += host;
    services += service;
  }
  // Both answers occur, or the comparison would prove little.
  EXPECT_GT(hosts, 150);
  EXPECT_GT(services, 400);
  EXPECT_LT(services, static_cast<int>(names.size()) - 400);
}

TEST(ExcludeList, NoPathOrUnreadableFileIsEmpty) {
  EXPECT_TRUE(load_exclude_list(nullptr).count == 0);
  EXPECT_TRUE(load_exclude_list("/nonexistent/orvek-exclude").count == 0);
  EXPECT_FALSE(service_is_excluded(ExcludeList{}, "anything"));
}

TEST(ExcludeList, LongLinesAreKeptWhole) {
  const std::string long_entry(3000, 'x');
  const ExcludeList list = load_text(long_entry + "\n");
  ASSERT_EQ(list.count, 1u);
  EXPECT_EQ(exclude_entries(list)[0], long_entry);
}

// A directory or a FIFO named by mistake neither hangs start-up nor hides
// anything.
TEST(ExcludeList, DirectoryAndFifoAreNoList) {
  const fs::path fifo = fs::temp_directory_path() / ("orvek-exclude-fifo-" + std::to_string(::getpid()));
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_TRUE(load_exclude_list(fifo.c_str()).count == 0);
  fs::remove(fifo);
  EXPECT_TRUE(load_exclude_list(fs::temp_directory_path().c_str()).count == 0);
}

TEST(ExcludeList, EnormousFileIsReadOnlyUpToTheLimit) {
  const fs::path path = fs::temp_directory_path() / ("orvek-exclude-big-" + std::to_string(::getpid()));
  {
    std::ofstream out(path);
    const std::string line(1023, 'h');
    for (std::size_t written = 0; written <= EXCLUDE_READ_LIMIT; written += 1024) out << line << '\n';
  }
  const ExcludeList list = load_exclude_list(path.c_str());
  EXPECT_EQ(list.count, EXCLUDE_READ_LIMIT / 1024);
  fs::remove(path);
}

}  // namespace

namespace {

// The entries stay in one block, the file's text up to its last newline;
// the host index holds each distinct entry once, so a file of one line over
// and over costs its text and a small table.
TEST(ExcludeListStorage, OneBlockOfTextAndOneSlotPerDistinctEntry) {
  const ExcludeList repeated = exclude_list_of_text(std::string(1 << 16, '\n') + "tail");
  EXPECT_EQ(repeated.count, 1u << 16);
  EXPECT_EQ(repeated.text.size(), 1u << 16);
  EXPECT_EQ(repeated.host_slots.size(), 16u);
  EXPECT_TRUE(service_is_excluded(repeated, "anything"));
  EXPECT_FALSE(host_is_excluded(repeated, "tail"));

  const ExcludeList list = exclude_list_of_text("db1\nweb\ndb1\nWEB\n\tx \nlast");
  const std::vector<std::string_view> expected = {"db1", "web", "db1", "WEB", "\tx "};
  EXPECT_EQ(exclude_entries(list), expected);
  EXPECT_EQ(list.count, 5u);
  EXPECT_EQ(std::count_if(list.host_slots.begin(), list.host_slots.end(), [](auto s) { return s != 0; }), 4);
  for (const std::string_view entry : exclude_entries(list)) {
    EXPECT_GE(entry.data(), list.text.data());  // a view into the block, no copy
    EXPECT_LE(entry.data() + entry.size(), list.text.data() + list.text.size());
    EXPECT_TRUE(host_is_excluded(list, entry));
  }
  EXPECT_FALSE(host_is_excluded(list, "Web"));
  EXPECT_FALSE(host_is_excluded(list, "last"));
  EXPECT_TRUE(service_is_excluded(list, "a Web server"));
  EXPECT_TRUE(service_is_excluded(list, "\tX "));
  EXPECT_FALSE(service_is_excluded(list, "last"));
}

TEST(ExcludeListStorage, MadeFromEntriesEqualsReadFromText) {
  const std::vector<std::string> entries = {"a", "", "b c", "a"};
  const ExcludeList made = make_exclude_list(entries);
  EXPECT_EQ(made.text, "a\n\nb c\na\n");
  EXPECT_EQ(made.count, 4u);
  EXPECT_EQ(make_exclude_list({}).count, 0u);
  EXPECT_TRUE(make_exclude_list({}).host_slots.empty());
}

}  // namespace
