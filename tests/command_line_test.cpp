#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "config/command_line.h"

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

TEST(CommandLine, ClockIsShownOnlyWhenAskedFor) {
  struct Case {
    std::vector<std::string> args;
    bool show_clock, show_hidden;
  };
  const Case cases[] = {
      {{}, false, false},
      {{"-u"}, true, false},
      {{"-mu"}, true, true},
      {{"-c", "a.conf", "-u", "-s", "3"}, true, false},
      {{"-s", "-u"}, false, false},       // the argument of -s
      {{"operand", "-u"}, false, false},  // options end at an operand
  };
  for (const Case& c : cases) {
    std::string words;
    for (const auto& word : c.args) words += word + ' ';
    EXPECT_EQ(parse(c.args).show_clock, c.show_clock) << words;
    EXPECT_EQ(parse(c.args).show_hidden, c.show_hidden) << words;
  }
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

struct SwitchCase {
  std::vector<std::string> args;
  bool show_hidden, check, show_version, show_help;
};

void PrintTo(const SwitchCase& c, std::ostream* out) {
  for (const auto& word : c.args) *out << word << ' ';
}

class Switches : public testing::TestWithParam<SwitchCase> {};

TEST_P(Switches, AreReadLikeTheOtherOptions) {
  const Options options = parse(GetParam().args);
  EXPECT_EQ(options.show_hidden, GetParam().show_hidden);
  EXPECT_EQ(options.check, GetParam().check);
  EXPECT_EQ(options.show_version, GetParam().show_version);
  EXPECT_EQ(options.show_help, GetParam().show_help);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Switches,
    testing::Values(SwitchCase{{}, false, false, false, false}, SwitchCase{{"-m"}, true, false, false, false},
                    SwitchCase{{"-t"}, false, true, false, false}, SwitchCase{{"-V"}, false, false, true, false},
                    SwitchCase{{"-h"}, false, false, false, true},
                    SwitchCase{{"-tVhm"}, true, true, true, true},                 // clustered
                    SwitchCase{{"-c", "a.conf", "-t", "-s", "3"}, false, true, false, false},
                    SwitchCase{{"-t", "-t"}, false, true, false, false},           // repeated
                    SwitchCase{{"-x", "-t"}, false, true, false, false},           // unknown option ignored
                    SwitchCase{{"-t", "operand", "-V"}, false, true, false, false},  // options end at an operand
                    SwitchCase{{"--", "-t"}, false, false, false, false},          // ... and at "--"
                    SwitchCase{{"-c", "-t"}, false, false, false, false},          // "-t" is -c's argument
                    SwitchCase{{"-v", "-H", "-T"}, false, false, false, false}));  // case counts

TEST(CommandLine, ASwitchDoesNotSwallowTheNextWord) {
  const Options options = parse({"-t", "-c", "site.conf"});
  EXPECT_TRUE(options.check);
  EXPECT_STREQ(options.config_path, "site.conf");
}

TEST(CommandLine, TheCheckTakesADeadlineAndNamesWhatItDidNotTake) {
  struct Case {
    std::vector<std::string> args;
    std::uint32_t deadline;
    bool warnings_count;
    std::string fault;
  };
  const Case cases[] = {
      {{"-t"}, 30u, false, ""},
      {{"-t", "-d", "5", "-W"}, 5u, true, ""},
      {{"-td5"}, 5u, false, ""},
      {{"-t", "-d", "3600"}, 3600u, false, ""},
      {{"-t", "-x"}, 30u, false, "unknown option -x"},
      {{"-x", "-y", "-t"}, 30u, false, "unknown option -x"},  // the first one
      {{"-t", "-s"}, 30u, false, "option -s without its value"},
      {{"-t", "-c"}, 30u, false, "option -c without its value"},
      {{"-t", "-d", "0"}, 30u, false, "the deadline of -d must be a whole number of seconds from 1 to 3600, not \"0\""},
      {{"-t", "-d", "3601"}, 30u, false,
       "the deadline of -d must be a whole number of seconds from 1 to 3600, not \"3601\""},
      {{"-t", "-d", "5s"}, 30u, false, "the deadline of -d must be a whole number of seconds from 1 to 3600, not \"5s\""},
      {{"-t", "-d", "99999999999999999999"}, 30u, false,
       "the deadline of -d must be a whole number of seconds from 1 to 3600, not \"99999999999999999999\""},
  };
  for (const Case& c : cases) {
    std::string words;
    for (const auto& word : c.args) words += word + ' ';
    const Options options = parse(c.args);
    EXPECT_EQ(options.check_deadline, c.deadline) << words;
    EXPECT_EQ(options.warnings_count, c.warnings_count) << words;
    EXPECT_EQ(options.fault, c.fault) << words;
  }
}

// The program itself, as a shell runs it; its standard output.
struct ProgramRun {
  std::string out;
  int status;
};

ProgramRun run_orvek(const std::string& arguments) {
  const std::string command = "'" ORVEK_BINARY "' " + arguments + " 2>/dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  ProgramRun run{{}, -1};
  if (!pipe) return run;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  const int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// A configuration that cannot be found would end these with status 2.
TEST(CommandLine, VersionIsPrintedWithoutAConfiguration) {
  EXPECT_EQ(version_text(), "orvek " ORVEK_EXPECTED_VERSION "\n");
  for (const char* arguments : {"-V -c /nonexistent.conf", "-t -V -c /nonexistent.conf"}) {
    const ProgramRun run = run_orvek(arguments);
    EXPECT_EQ(run.out, "orvek " ORVEK_EXPECTED_VERSION "\n") << arguments;
    EXPECT_EQ(run.status, 0) << arguments;
  }
}

TEST(CommandLine, HelpNamesEveryOptionOnStandardOutput) {
  const ProgramRun run = run_orvek("-h -c /nonexistent.conf");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, usage_text());
  EXPECT_TRUE(run.out.starts_with(
      "usage: orvek [-c config_file] [-e exclude_file] [-s seconds] [-m] [-u] "
      "[-t [-d seconds] [-S name] [-W]] [-V] [-h]\n"));
  for (const char* option : {"\n  -c config_file ", "\n  -e exclude_file ", "\n  -s seconds ", "\n  -m ", "\n  -u ", "\n  -t ",
                             "\n  -d seconds ", "\n  -S name ", "\n  -W ", "\n  -V ", "\n  -h "})
    EXPECT_NE(run.out.find(option), std::string::npos) << option;
  // -h wins over -V, and an unknown option beside it changes nothing.
  EXPECT_EQ(run_orvek("-V -h").out, usage_text());
  const ProgramRun unknown = run_orvek("-x -h");
  EXPECT_EQ(unknown.out, usage_text());
  EXPECT_EQ(unknown.status, 0);
}

}  // namespace
