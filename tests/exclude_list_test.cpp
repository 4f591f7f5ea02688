#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "config/exclude_list.h"

namespace {

namespace fs = std::filesystem;

ExcludeList load_text(const std::string& text) {
  const fs::path path = fs::temp_directory_path() / ("orvek-exclude-" + std::to_string(::getpid()));
  std::ofstream(path, std::ios::binary) << text;
  ExcludeList list = load_exclude_list(path.c_str(), count_exclude_lines(path.c_str()));
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

TEST(ExcludeList, NoPathOrUnreadableFileIsEmpty) {
  EXPECT_EQ(count_exclude_lines(nullptr), 0);
  EXPECT_TRUE(load_exclude_list(nullptr, 3).entries.empty());
  EXPECT_EQ(count_exclude_lines("/nonexistent/orvek-exclude"), 0);
  EXPECT_FALSE(service_is_excluded(ExcludeList{}, "anything"));
}

TEST(ExcludeList, LongLinesAreKeptWhole) {
  const std::string long_entry(3000, 'x');
  const ExcludeList list = load_text(long_entry + "\n");
  ASSERT_EQ(list.entries.size(), 1u);
  EXPECT_EQ(list.entries[0], long_entry);
}

// The file may shrink or grow between the counting and the loading pass.
TEST(ExcludeList, LoadingNeverExceedsTheCountAndKeepsOnlyLinesRead) {
  const fs::path path = fs::temp_directory_path() / ("orvek-exclude-shift-" + std::to_string(::getpid()));
  std::ofstream(path) << "db1\ndb2\n";
  const int counted = count_exclude_lines(path.c_str());
  std::ofstream(path) << "db1\ndb2\ndb3\ndb4\n";
  EXPECT_EQ(load_exclude_list(path.c_str(), counted).entries, (std::vector<std::string>{"db1", "db2"}));
  std::ofstream(path) << "db1\n";
  const ExcludeList shrunk = load_exclude_list(path.c_str(), counted);
  EXPECT_EQ(shrunk.entries, (std::vector<std::string>{"db1"}));
  // No unfilled (empty) entry is left behind to hide every service.
  EXPECT_FALSE(service_is_excluded(shrunk, "Load"));
  fs::remove(path);
}

}  // namespace
