#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

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
