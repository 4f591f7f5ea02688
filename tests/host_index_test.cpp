#include <gtest/gtest.h>

#include <bit>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "common/keyed_hash.h"
#include "common/text_search.h"
#include "report/host_index.h"

namespace {

// The plain definitions the indexes answer: a host lies inside a DOWN or
// UNREACHABLE host's name when some such name contains it without regard to
// case; a service line belongs to a host when it holds "value='<host>'/>"
// without regard to case.
std::vector<bool> plain_inside(const HostTable& hosts, const std::vector<std::string_view>& down) {
  std::vector<bool> inside(hosts.names.size(), false);
  for (std::size_t h = 0; h < hosts.names.size(); ++h)
    for (const std::string_view name : down) inside[h] = inside[h] || contains_ignoring_case(name, hosts.names[h]);
  return inside;
}

std::vector<std::vector<std::uint32_t>> plain_groups(const std::vector<ProblemLine>& lines, const HostTable& hosts) {
  std::vector<std::vector<std::uint32_t>> groups(hosts.names.size());
  for (std::size_t h = 0; h < hosts.names.size(); ++h)
    for (std::uint32_t l = 0; l < lines.size(); ++l)
      if (contains_ignoring_case(lines[l].text, "value='" + std::string(hosts.names[h]) + "'/>")) groups[h].push_back(l);
  return groups;
}

std::vector<std::vector<std::uint32_t>> groups_of(const ServiceIndex& index) {
  std::vector<std::vector<std::uint32_t>> groups(index.start.size() - 1);
  for (std::size_t h = 0; h + 1 < index.start.size(); ++h)
    groups[h].assign(index.line.begin() + index.start[h], index.line.begin() + index.start[h + 1]);
  return groups;
}

HostTable table_of(const std::vector<std::string_view>& names) {
  HostTable hosts;
  for (const std::string_view name : names) hosts.insert(name);
  return hosts;
}

struct InsideCase {
  const char* name;
  std::vector<std::string_view> hosts;
  std::vector<std::string_view> down;
  std::vector<bool> inside;  // per host, in the order given
};

void PrintTo(const InsideCase& c, std::ostream* out) { *out << c.name; }

class HostsInside : public testing::TestWithParam<InsideCase> {};

TEST_P(HostsInside, AsAPlainSearchOfEveryDownName) {
  const InsideCase& c = GetParam();
  const HostTable hosts = table_of(c.hosts);
  ASSERT_EQ(hosts.names.size(), c.hosts.size()) << "the case's hosts are distinct without regard to case";
  EXPECT_EQ(hosts_inside(hosts, c.down), c.inside);
  EXPECT_EQ(hosts_inside_by_windows(hosts, c.down), c.inside);
  EXPECT_EQ(hosts_inside_by_automaton(hosts, c.down), c.inside);
  EXPECT_EQ(hosts_inside_by_suffixes(hosts, c.down), c.inside);
  EXPECT_EQ(c.inside, plain_inside(hosts, c.down));
}

const InsideCase inside_cases[] = {
    {"no_down_hosts", {"web1", ""}, {}, {false, false}},
    {"equal_to_a_down_name", {"web1"}, {"web1"}, {true}},
    {"inside_and_not", {"eb1", "web2", "web12x"}, {"web12"}, {true, false, false}},
    {"case_differs", {"WEB1", "Db"}, {"web1-db"}, {true, true}},
    {"empty_host_inside_any_down_name", {"", "a"}, {"b"}, {true, false}},
    {"empty_down_name", {"", "a"}, {""}, {true, false}},
    {"overlapping_hosts", {"aba", "bab", "abab", "babab"}, {"xabab"}, {true, true, true, false}},
    {"inside_the_second_down_name", {"db7", "mail"}, {"web", "xdb77"}, {true, false}},
    {"across_two_down_names_is_not_inside", {"webdb"}, {"web", "db"}, {false}},
    {"long_host_of_a_short_down_name", {"web1web1"}, {"web1"}, {false}},
};

INSTANTIATE_TEST_SUITE_P(Table, HostsInside, testing::ValuesIn(inside_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// Hosts of many lengths inside a long DOWN name, and others nowhere: enough
// lengths for hosts_inside to take the automaton.
TEST(HostsInside, ManyLengthsAsAPlainSearch) {
  std::mt19937 random(23);
  std::string down;
  for (int i = 0; i < 3000; ++i) down.push_back("abAB"[random() % 4]);
  std::vector<std::string> names;
  for (std::size_t length = 1; length <= 60; ++length) {
    names.push_back(down.substr(random() % (down.size() - length), length));
    names.push_back(std::string(length, 'b') + "x");
  }
  const HostTable hosts = table_of(std::vector<std::string_view>(names.begin(), names.end()));
  const std::vector<std::string_view> downs{down, "zz"};
  EXPECT_EQ(hosts_inside(hosts, downs), plain_inside(hosts, downs));
  EXPECT_EQ(hosts_inside_by_windows(hosts, downs), plain_inside(hosts, downs));
  EXPECT_EQ(hosts_inside_by_automaton(hosts, downs), plain_inside(hosts, downs));
  EXPECT_EQ(hosts_inside_by_suffixes(hosts, downs), plain_inside(hosts, downs));
}

// Names that a fixed hash lets a page pile onto one value: built of
// Thue-Morse blocks of 1,024 letters ("a" and "b", a block or its
// complement), which agree under h = h * B + c modulo 2^64 for odd B; and
// the same blocks in upper case in the DOWN names. The keyed hash tells
// them apart, and every way gives the plain search's answer.
std::string thue_morse_block(bool complement) {
  std::string block;
  for (unsigned k = 0; k < 1024; ++k) block.push_back((std::popcount(k) % 2 != 0) != complement ? 'b' : 'a');
  return block;
}

std::uint64_t former_folded_hash(std::string_view text) {
  std::uint64_t hash = 0;
  for (const char c : text) hash = hash * 0x100000001b3ULL + fold_ascii(c);
  return hash;
}

struct ThueMorsePage {
  std::vector<std::string> hosts;
  std::vector<std::string> downs;
  std::vector<std::string> lines;
};

// 32 hosts of 2 blocks alike and 5 that vary; a DOWN name of 12 plain
// blocks (holding the first host) and one of blocks in the pattern of the
// fifth host; a service line per host and one holding two keys.
ThueMorsePage thue_morse_page() {
  const std::string blocks[2] = {thue_morse_block(false), thue_morse_block(true)};
  ThueMorsePage page;
  for (unsigned k = 0; k < 32; ++k) {
    std::string host = blocks[0] + blocks[0];
    for (unsigned bit = 0; bit < 5; ++bit) host += blocks[(k >> bit) & 1];
    page.hosts.push_back(host);
  }
  std::string plain, fifth = "x";
  for (int n = 0; n < 12; ++n) plain += blocks[0];
  for (char& c : plain) c = static_cast<char>(c - 'a' + 'A');
  fifth += page.hosts[4] + "x";
  page.downs = {plain, fifth};
  for (const std::string& host : page.hosts) page.lines.push_back("<postfield name='host' value='" + host + "'/>\n");
  page.lines.push_back("value='" + page.hosts[1] + "'/>value='" + page.hosts[30] + "'/>\n");
  return page;
}

TEST(CollidingNames, TheFormerHashCollidesAndTheKeyedOneDoesNot) {
  const ThueMorsePage page = thue_morse_page();
  std::vector<std::uint64_t> former, keyed;
  for (const std::string& host : page.hosts) {
    former.push_back(former_folded_hash(host));
    keyed.push_back(keyed_folded_hash(host));
  }
  // A window of the DOWN name at a block boundary too.
  const std::string_view window = std::string_view(page.downs[0]).substr(1024, page.hosts[0].size());
  former.push_back(former_folded_hash(window));
  EXPECT_EQ(std::set<std::uint64_t>(former.begin(), former.end()).size(), 1u) << "the shape collides as meant";
  EXPECT_EQ(std::set<std::uint64_t>(keyed.begin(), keyed.end()).size(), page.hosts.size());
  EXPECT_EQ(keyed_folded_hash(window), keyed_folded_hash(page.hosts[0])) << "the same name but for case";
}

TEST(CollidingNames, AsAPlainSearch) {
  const ThueMorsePage page = thue_morse_page();
  const HostTable hosts = table_of(std::vector<std::string_view>(page.hosts.begin(), page.hosts.end()));
  ASSERT_EQ(hosts.names.size(), page.hosts.size());
  const std::vector<std::string_view> downs(page.downs.begin(), page.downs.end());
  const std::vector<bool> expected = plain_inside(hosts, downs);
  EXPECT_TRUE(expected[0] && expected[4] && !expected[1]) << "the page has hosts inside and not";
  EXPECT_EQ(hosts_inside(hosts, downs), expected);
  EXPECT_EQ(hosts_inside_by_windows(hosts, downs), expected);
  EXPECT_EQ(hosts_inside_by_automaton(hosts, downs), expected);
  EXPECT_EQ(hosts_inside_by_suffixes(hosts, downs), expected);

  std::vector<ProblemLine> lines;
  for (const std::string& text : page.lines) lines.push_back({text, TOKEN_WRN, LineForm::PATTERNS, {}});
  const std::vector<bool> read(lines.size(), true);
  EXPECT_EQ(groups_of(index_service_lines(lines, read, hosts)), plain_groups(lines, hosts));
}

TEST(KeyedHash, FoldsCaseOnlyWhereAsked) {
  EXPECT_EQ(keyed_folded_hash("Web-01.Example"), keyed_folded_hash("wEB-01.eXAMPLE"));
  EXPECT_NE(keyed_folded_hash("web-01"), keyed_folded_hash("web-02"));
  EXPECT_EQ(keyed_hash("web-01"), keyed_hash("web-01"));
  EXPECT_NE(keyed_hash("Web-01"), keyed_hash("web-01"));
  // Only ASCII letters fold, as equal_ignoring_case compares.
  EXPECT_NE(keyed_folded_hash("\xc3\x89"), keyed_folded_hash("\xc3\xa9"));
  const std::string long_name(5000, 'Q');
  EXPECT_EQ(keyed_folded_hash(long_name), keyed_folded_hash(std::string(5000, 'q')));
}

// Lines of "value='...'/>" pieces nested and repeated, many more than the
// few the server writes, so that the lines go through the automaton as well
// as through the pairs.
TEST(ServiceIndex, AsAPlainSearchOfEveryLineOnTangledLines) {
  std::mt19937 random(22);
  const std::vector<std::string> pieces{"value='", "VALUE='", "'/>", "a", "B", "'", "x"};
  for (int round = 0; round < 200; ++round) {
    std::vector<std::string> texts(1 + random() % 8);
    for (std::string& text : texts) {
      for (std::size_t n = random() % 60; n > 0; --n) text += pieces[random() % pieces.size()];
      text += '\n';
    }
    std::vector<ProblemLine> lines;
    for (const std::string& text : texts) lines.push_back({text, TOKEN_WRN, LineForm::PATTERNS, {}});
    std::vector<std::string> names{"", "a", "aB", "'", "value='a'/>", "x'/>value='x"};
    // And pieces of the lines themselves.
    for (std::size_t n = random() % 4; n > 0; --n) {
      const std::string& text = texts[random() % texts.size()];
      names.push_back(text.substr(random() % text.size(), random() % 12));
    }
    const HostTable hosts = table_of(std::vector<std::string_view>(names.begin(), names.end()));
    const std::vector<bool> read(lines.size(), true);
    ASSERT_EQ(groups_of(index_service_lines(lines, read, hosts)), plain_groups(lines, hosts)) << "round " << round;
  }
}

}  // namespace
