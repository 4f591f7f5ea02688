#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"

namespace {

// The paths of the result point into the words, so they are kept until the next call.
Options parse(std::vector<std::string> arguments) {
  static std::vector<std::string> words;
  words = std::move(arguments);
  words.insert(words.begin(), "orvek");
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  return read_command_line(static_cast<int>(words.size()), argv.data());
}

struct IntervalCase {
  std::vector<std::string> args;
  std::uint32_t seconds;
};

void PrintTo(const IntervalCase& c, std::ostream* out) {
  for (const auto& word : c.args) *out << word << ' ';
}

class RefreshInterval : public testing::TestWithParam<IntervalCase> {};

TEST_P(RefreshInterval, IsReadLikeStrtoulBaseZeroKeptIn32Bits) {
  EXPECT_EQ(parse(GetParam().args).refresh_interval, GetParam().seconds);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RefreshInterval,
    testing::Values(IntervalCase{{}, 10u}, IntervalCase{{"-s", "0x1e"}, 30u}, IntervalCase{{"-s", "010"}, 8u},
                    IntervalCase{{"-s", "15s"}, 15u}, IntervalCase{{"-s", "-1"}, 4294967295u},
                    IntervalCase{{"-s", "soon"}, 0u}, IntervalCase{{"-s", "0"}, 0u},
                    IntervalCase{{"-s", "4294967296"}, 0u}, IntervalCase{{"-s", "4294967301"}, 5u},
                    IntervalCase{{"-s", "3", "-s", "7"}, 7u},              // the last one counts
                    IntervalCase{{"-s3"}, 3u},                             // glued argument
                    IntervalCase{{"operand", "-s", "3"}, 10u},             // options end at an operand
                    IntervalCase{{"--", "-s", "3"}, 10u},                  // ... and at "--"
                    IntervalCase{{"-x", "-s", "4"}, 4u}));                 // unknown option ignored

TEST(CommandLine, HiddenCountIsShownOnlyWhenAskedFor) {
  struct Case {
    std::vector<std::string> args;
    bool show_hidden;
  };
  const Case cases[] = {
      {{}, false},
      {{"-m"}, true},
      {{"-c", "a.conf", "-m", "-s", "3"}, true},
      {{"-ms3"}, true},            // glued to the next option
      {{"-s", "-m"}, false},       // the argument of -s
      {{"operand", "-m"}, false},  // options end at an operand
      {{"--", "-m"}, false},
  };
  for (const Case& c : cases) {
    std::string words;
    for (const auto& word : c.args) words += word + ' ';
    EXPECT_EQ(parse(c.args).show_hidden, c.show_hidden) << words;
  }
  EXPECT_EQ(parse({"-ms3"}).refresh_interval, 3u);
}

TEST(CommandLine, PathsPointAtTheArgumentsThemselves) {
  std::vector<std::string> words = {"orvek", "-c", "/tmp/a.conf", "-e", "skip.txt", "-c", "/tmp/b.conf"};
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const Options options = read_command_line(static_cast<int>(words.size()), argv.data());
  EXPECT_EQ(options.config_path, argv[6]);
  EXPECT_EQ(options.exclude_path, argv[4]);
}

TEST(CommandLine, OptionWithoutArgumentIsIgnored) {
  const Options options = parse({"-e", "x", "-c"});
  EXPECT_EQ(options.config_path, nullptr);
  EXPECT_STREQ(options.exclude_path, "x");
}

}  // namespace
