#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

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

TEST(ExcludeList, NoPathOrUnreadableFileIsEmpty) {
  EXPECT_TRUE(load_exclude_list(nullptr).entries.empty());
  EXPECT_TRUE(load_exclude_list("/nonexistent/orvek-exclude").entries.empty());
  EXPECT_FALSE(service_is_excluded(ExcludeList{}, "anything"));
}

TEST(ExcludeList, LongLinesAreKeptWhole) {
  const std::string long_entry(3000, 'x');
  const ExcludeList list = load_text(long_entry + "\n");
  ASSERT_EQ(list.entries.size(), 1u);
  EXPECT_EQ(list.entries[0], long_entry);
}

// A directory or a FIFO named by mistake neither hangs start-up nor hides
// anything.
TEST(ExcludeList, DirectoryAndFifoAreNoList) {
  const fs::path fifo = fs::temp_directory_path() / ("orvek-exclude-fifo-" + std::to_string(::getpid()));
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_TRUE(load_exclude_list(fifo.c_str()).entries.empty());
  fs::remove(fifo);
  EXPECT_TRUE(load_exclude_list(fs::temp_directory_path().c_str()).entries.empty());
}

TEST(ExcludeList, EnormousFileIsReadOnlyUpToTheLimit) {
  const fs::path path = fs::temp_directory_path() / ("orvek-exclude-big-" + std::to_string(::getpid()));
  {
    std::ofstream out(path);
    const std::string line(1023, 'h');
    for (std::size_t written = 0; written <= EXCLUDE_READ_LIMIT; written += 1024) out << line << '\n';
  }
  const ExcludeList list = load_exclude_list(path.c_str());
  EXPECT_EQ(list.entries.size(), EXCLUDE_READ_LIMIT / 1024);
  fs::remove(path);
}

}  // namespace
