#include <gtest/gtest.h>

#include <random>
#include <regex.h>
#include <string>

#include "report/field_extraction.h"

namespace {

constexpr bool NEWCGI = true;
constexpr bool TABLE_CELL = false;

// What regcomp/regexec give for a pattern: the first group, or nothing.
std::optional<std::string> regex_group(const char* pattern, const std::string& line) {
  regex_t compiled;
  if (regcomp(&compiled, pattern, 0) != 0) ADD_FAILURE() << "pattern does not compile: " << pattern;
  regmatch_t match[3];
  std::optional<std::string> group;
  if (regexec(&compiled, line.c_str(), 3, match, 0) == 0)
    group = line.substr(static_cast<std::size_t>(match[1].rm_so),
                        static_cast<std::size_t>(match[1].rm_eo - match[1].rm_so));
  regfree(&compiled);
  return group;
}

struct ExtractCase {
  const char* name;
  std::string line;
  int mode;
  bool newcgi;
  std::string expected;  // empty when the line does not match
  bool matches;
};

// Test listings name the case, not its bytes.
void PrintTo(const ExtractCase& c, std::ostream* out) { *out << c.name; }

const std::string CELL = "<TD ALIGN=LEFT valign=center CLASS='statusBGCRITICAL'><A "
                         "HREF='extinfo.cgi?type=2&host=web1&service=Load'>Load</A></TD>";

const ExtractCase extract_cases[] = {
    {"host_alone", "<postfield name='host' value='db1'/> DWN\n", HOST_FIELD, NEWCGI, "db1", true},
    {"host_field_runs_to_last_close",
     "<postfield name='host' value='web1'/><postfield name='service' value='Load'/> CRI\n", HOST_FIELD, NEWCGI,
     "web1'/><postfield name='service' value='Load", true},
    {"host_before_service",
     "<postfield name='host' value='web1'/><postfield name='service' value='Load'/> CRI\n",
     HOST_BEFORE_SERVICE, NEWCGI, "web1", true},
    {"host_before_service_greedy",
     "name='host' value='a'/><postfield x='1'/><postfield name='service' value='S'/> WRN\n",
     HOST_BEFORE_SERVICE, NEWCGI, "a'/><postfield x='1", true},
    {"service_postfield",
     "<postfield name='host' value='web1'/><postfield name='service' value='Load'/> CRI\n", SERVICE_FIELD,
     NEWCGI, "Load", true},
    {"service_postfield_greedy", "<postfield name='service' value='Disk'/> <x v='1'/> WRN\n", SERVICE_FIELD,
     NEWCGI, "Disk'/> <x v='1", true},
    {"any_other_mode_is_service", "<postfield name='service' value='Load'/>\n", 7, NEWCGI, "Load", true},
    {"empty_value", "<postfield name='host' value=''/> DWN\n", HOST_FIELD, NEWCGI, "", true},
    {"quote_cannot_be_shared", "<postfield name='host' value='/> DWN\n", HOST_FIELD, NEWCGI, "", false},
    {"case_sensitive", "<postfield NAME='host' value='db1'/> DWN\n", HOST_FIELD, NEWCGI, "", false},
    {"table_cell_gives_class", "<postfield name='host' value='web1'/><postfield " + CELL + " CRI\n",
     SERVICE_FIELD, TABLE_CELL, "statusBGCRITICAL", true},
    {"postfield_service_without_newcgi",
     "<postfield name='host' value='web1'/><postfield name='service' value='Load'/> CRI\n", SERVICE_FIELD,
     TABLE_CELL, "", false},
    {"table_cell_two_cells_first_class_runs_long", CELL + CELL, SERVICE_FIELD, TABLE_CELL,
     "statusBGCRITICAL'><A HREF='extinfo.cgi?type=2&host=web1&service=Load'>Load</A></TD><TD ALIGN=LEFT "
     "valign=center CLASS='statusBGCRITICAL",
     true},
    {"no_host_element", "<td>DWN</td>\n", HOST_FIELD, NEWCGI, "", false},
};

class Extraction : public testing::TestWithParam<ExtractCase> {};

TEST_P(Extraction, GivesTheFirstGroupOrNothing) {
  const ExtractCase& c = GetParam();
  int unmatched = 0;
  const std::string_view got = extract_field(c.line, c.mode, c.newcgi, unmatched);
  EXPECT_EQ(got, c.expected);
  EXPECT_EQ(unmatched, c.matches ? 0 : 1);
  // And it is what the regex library says.
  EXPECT_EQ(regex_group(pattern_for(c.mode, c.newcgi), c.line),
            c.matches ? std::optional<std::string>(c.expected) : std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Table, Extraction, testing::ValuesIn(extract_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Extraction, NamesAreNotCut) {
  const std::string name(500, 'h');
  EXPECT_EQ(match_field("<postfield name='host' value='" + name + "'/> DWN\n", HOST_FIELD, NEWCGI), name);
}

// Lines built from the patterns' own pieces, shuffled, so that prefixes,
// separators and suffixes occur in every order and number.
std::string random_line(std::mt19937& random) {
  static const std::vector<std::string> pieces = {
      "name='host' value='", "'/>", "'/><postfield", "<postfield name='service' value='",
      "<TD ALIGN=LEFT valign=center CLASS='", "'><A HREF='extinfo.cgi?type=2&host=", "&service=", "'>",
      "</A></TD>", "'", "/", ">", "<", "&", "=", "a", "B", " ", "\n", "web1", "\t", "\xc3\xa9", "."};
  std::uniform_int_distribution<std::size_t> count(0, 14);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  std::string line;
  for (std::size_t n = count(random); n > 0; --n) line += pieces[pick(random)];
  return line;
}

TEST(Extraction, AgreesWithRegexecOnRandomLines) {
  std::mt19937 random(20261210);
  const std::pair<int, bool> modes[] = {
      {HOST_FIELD, NEWCGI}, {HOST_BEFORE_SERVICE, NEWCGI}, {SERVICE_FIELD, NEWCGI}, {SERVICE_FIELD, TABLE_CELL}};
  int matched = 0;
  for (int i = 0; i < 40000; ++i) {
    const std::string line = random_line(random);
    for (const auto& [mode, newcgi] : modes) {
      int unmatched = 0;
      const std::string got(extract_field(line, mode, newcgi, unmatched));
      const bool said_no_match = unmatched == 1;
      const std::optional<std::string> expected = regex_group(pattern_for(mode, newcgi), line);
      ASSERT_EQ(said_no_match, !expected.has_value()) << "mode " << mode << " line: " << line;
      if (expected) {
        ASSERT_EQ(got, *expected) << "mode " << mode << " line: " << line;
        ++matched;
      }
    }
  }
  // Enough of the lines match for the comparison to mean something.
  EXPECT_GT(matched, 5000);
}

}  // namespace
