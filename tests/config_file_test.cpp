#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "config/config_file.h"

namespace {

namespace fs = std::filesystem;

struct ConfigCase {
  const char* name;
  std::string text;
  std::string server;  // the server part of status_url
  std::string username;
  std::string password;
  std::string digest;  // the value as written
  std::string newcgi;
};

// Test listings name the case, not its bytes.
void PrintTo(const ConfigCase& c, std::ostream* out) { *out << c.name; }

std::string server_of(const Settings& s) {
  return s.status_url.substr(0, s.status_url.size() - STATUS_PATH.size());
}

class ConfigParse : public testing::TestWithParam<ConfigCase> {};

TEST_P(ConfigParse, YieldsTheseSettings) {
  const ConfigCase& c = GetParam();
  const Settings s = parse_config(c.text);
  ASSERT_TRUE(s.status_url.ends_with(STATUS_PATH)) << s.status_url;
  EXPECT_EQ(server_of(s), c.server);
  EXPECT_EQ(s.username, c.username);
  EXPECT_EQ(s.password, c.password);
  // The switches take only these exact words.
  EXPECT_EQ(s.digest, c.digest == "yes");
  EXPECT_EQ(s.newcgi, c.newcgi == "true");
}

const ConfigCase config_cases[] = {
    {"well_formed",
     "# orvek\nserver http://mon.example\nusername ops\npassword s3cret\ndigest yes\nnewcgi true\n",
     "http://mon.example", "ops", "s3cret", "yes", "true"},
    {"empty_file", "", "", "", "", "", ""},
    {"comment_after_value", "username ops # the night shift\n", "", "ops", "", "", ""},
    {"hash_inside_value_ends_it", "password ab#cd\n", "", "", "ab", "", ""},
    {"inner_spaces_vanish", "password a b c\n", "", "", "abc", "", ""},
    {"leading_and_repeated_spaces", "   username    ops   \n", "", "ops", "", "", ""},
    {"two_keys_pending_first_takes_value", "username digest yes\n", "", "yes", "", "", ""},
    {"glued_key_poisons_following_lines", "usernameops\npassword x\nserver http://a\n", "", "", "", "", ""},
    {"capitalised_key_poisons_following_lines", "Username ops\npassword x\n", "", "", "", "", ""},
    {"tab_is_no_separator", "username\tops\npassword x\n", "", "", "", "", ""},
    {"key_glued_to_hash_is_no_key", "username#note\npassword x\n", "", "", "", "", ""},
    {"last_line_without_newline_is_dropped", "username a\nusername b", "", "a", "", "", ""},
    {"repeated_key_keeps_last", "username a\nusername b\n", "", "b", "", "", ""},
    {"crlf_keeps_carriage_return", "digest yes\r\nnewcgi true\r\n", "", "", "", "yes\r", "true\r"},
    {"tab_after_value_stays", "newcgi true\t\n", "", "", "", "", "true\t"},
    {"key_split_over_two_lines", "ser\nver http://x\n", "http://x", "", "", "", ""},
    {"comment_only_line_keeps_nothing", "#server http://x\nusername u\n", "", "u", "", "", ""},
    {"key_then_comment_leaves_empty_value", "username #\n", "", "", "", "", ""},
    {"trailing_slash_kept", "server http://x/\n", "http://x/", "", "", "", ""},
};

INSTANTIATE_TEST_SUITE_P(Table, ConfigParse, testing::ValuesIn(config_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ConfigParse, BuildsStatusUrl) {
  const Settings s = parse_config("server https://nagios.example/nagios\n");
  EXPECT_EQ(s.status_url, "https://nagios.example/nagios/cgi-bin/statuswml.cgi?style=uprobs");
}

// The trust and password-file keys follow the same line rules as the others.
TEST(ConfigParse, TrustAndPasswordFileKeys) {
  struct Case {
    const char* name;
    std::string text;
    bool verify;
    std::string cafile, pin, passwordfile, password;
  };
  const Case cases[] = {
      {"all four", "verify yes\ncafile /etc/orvek/ca.pem\npin sha256//a=;sha256//b=\npasswordfile /run/orvek/pw\n", true,
       "/etc/orvek/ca.pem", "sha256//a=;sha256//b=", "/run/orvek/pw", ""},
      {"none: the default", "server http://m\npassword pw\n", false, "", "", "", "pw"},
      {"verify takes only yes", "verify Yes\n", false, "", "", "", ""},
      {"verify with a carriage return", "verify yes\r\n", false, "", "", "", ""},
      {"a comment after the pin", "pin sha256//a= # the new key\n", false, "", "sha256//a=", "", ""},
      {"spaces inside a path vanish", "passwordfile /run/my pw\n", false, "", "", "/run/mypw", ""},
      {"password and passwordfile side by side", "password pw\npasswordfile /f\n", false, "", "", "/f", "pw"},
      {"a glued key still poisons what follows", "verifyyes\npin sha256//a=\n", false, "", "", "", ""},
      {"no final newline, not committed", "pin sha256//a=", false, "", "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Settings s = parse_config(c.text);
    EXPECT_EQ(s.verify, c.verify);
    EXPECT_EQ(s.cafile, c.cafile);
    EXPECT_EQ(s.pin, c.pin);
    EXPECT_EQ(s.passwordfile, c.passwordfile);
    EXPECT_EQ(s.password, c.password);
  }
}

// maxage: a number of seconds, minutes (m) or hours (h), or nothing (the
// age is then not asked for); read like every other key, so spaces inside
// the value vanish ("5 m" is "5m").
TEST(ConfigParse, MaxAgeIsSecondsMinutesOrHours) {
  struct Case {
    const char* text;
    std::optional<std::uint32_t> max_age;
  };
  const Case cases[] = {
      {"", std::nullopt},
      {"maxage 300\n", 300u},
      {"maxage 0\n", 0u},
      {"maxage 3 00\n", 300u},           // spaces inside a value vanish, as for every key
      {"maxage 300", std::nullopt},       // a last line without its newline is never read
      {"maxage 5m\n", 300u},
      {"maxage 2h\n", 7200u},
      {"maxage 30s\n", 30u},
      {"maxage 5M\n", 300u},             // the unit in either case
      {"maxage 2H\n", 7200u},
      {"maxage 30S\n", 30u},
      {"maxage 5 m\n", 300u},
      {"maxage 0m\n", 0u},
      {"maxage 5x\n", std::nullopt},
      {"maxage m\n", std::nullopt},
      {"maxage 5mm\n", std::nullopt},
      {"maxage 5m30s\n", std::nullopt},
      {"maxage 1.5h\n", std::nullopt},
      {"maxage 5min\n", std::nullopt},
      {"maxage -5\n", std::nullopt},
      {"maxage -5m\n", std::nullopt},
      {"maxage 0x10\n", std::nullopt},
      {"maxage 300\r\n", std::nullopt},  // Windows line ends
      {"maxage 5m\r\n", std::nullopt},
      {"maxage 31622400\n", 31622400u},   // a year
      {"maxage 31622401\n", std::nullopt},
      {"maxage 527040m\n", 31622400u},    // a year in minutes
      {"maxage 527041m\n", std::nullopt},
      {"maxage 8784h\n", 31622400u},
      {"maxage 8785h\n", std::nullopt},
      // Would overflow 32 bits, and 64 bits, when multiplied out.
      {"maxage 4294967296\n", std::nullopt},
      {"maxage 1193047h\n", std::nullopt},  // 2^32 s and a little more
      {"maxage 9999999999h\n", std::nullopt},
      {"maxage 99999999999999999999h\n", std::nullopt},
      {"maxage 99999999999999999999\n", std::nullopt},
      {"maxage 0000000000000300\n", std::nullopt},  // more digits than any limit takes
      {"maxage\n", std::nullopt},
      {"Maxage 300\n", std::nullopt},
      {"server http://a\nmaxage 60 # a minute\n", 60u},
      {"server http://a\nmaxage 1m # a minute\n", 60u},
  };
  for (const Case& c : cases) EXPECT_EQ(parse_config(c.text).max_age, c.max_age) << c.text;
  const Settings s = parse_config("server https://nagios.example/nagios\nmaxage 5m\n");
  EXPECT_EQ(s.data_age_url, "https://nagios.example/nagios/cgi-bin/statusjson.cgi?query=hostcount");
  EXPECT_EQ(s.max_age_value, "5m");
  EXPECT_EQ(s.status_url, "https://nagios.example/nagios/cgi-bin/statuswml.cgi?style=uprobs");
}

// Two readings are equal when every setting is; the account of the lines
// changes nothing read.
TEST(ConfigParse, SettingsCompareWhole) {
  const std::string text = "server http://a\nusername u\npassword p\ndigest yes\nnewcgi true\nverify yes\n"
                           "cafile /c\npin sha256//a=\npasswordfile /p\nmaxage 5m\n";
  const Settings all = parse_config(text);
  EXPECT_EQ(read_config(text).settings, all);
  // Each key's line left out changes the settings.
  std::size_t start = 0;
  for (std::size_t end = text.find('\n'); end != std::string::npos; start = end + 1, end = text.find('\n', start)) {
    const std::string without = text.substr(0, start) + text.substr(end + 1);
    EXPECT_NE(parse_config(without), all) << text.substr(start, end - start);
  }
  // The value as written counts too: "300" and "5m" are both 300 s.
  EXPECT_NE(parse_config("maxage 300\n"), parse_config("maxage 5m\n"));
}

// The reader's account of each line: what it took, how, or why not.
struct ReadingCase {
  const char* name;
  std::string text;
  struct Line {
    std::size_t number;
    LineFate fate;
    std::string keys;  // the keys found, in commit order, joined by ","
    std::string value;
    ValueUse use;
    std::size_t overridden_by;
    std::size_t carried_from;
    bool joined;
  };
  std::vector<Line> lines;
};

void PrintTo(const ReadingCase& c, std::ostream* out) { *out << c.name; }

std::string keys_of(std::uint16_t keys) {
  std::string names;
  for (std::size_t k = 0; k < KEY_COUNT; ++k)
    if (keys & (1u << k)) names.append(names.empty() ? "" : ",").append(CONFIG_KEYS[k].name);
  return names;
}

class ConfigReadingTable : public testing::TestWithParam<ReadingCase> {};

TEST_P(ConfigReadingTable, AccountsForEachLine) {
  const ReadingCase& c = GetParam();
  const ConfigRead read = read_config(c.text);
  EXPECT_EQ(read.settings, parse_config(c.text));
  ASSERT_EQ(read.reading.lines.size(), c.lines.size());
  for (std::size_t i = 0; i < c.lines.size(); ++i) {
    const LineReading& got = read.reading.lines[i];
    const ReadingCase::Line& want = c.lines[i];
    SCOPED_TRACE("line " + std::to_string(want.number));
    EXPECT_EQ(got.number, want.number);
    EXPECT_EQ(got.fate, want.fate);
    EXPECT_EQ(keys_of(got.keys), want.keys);
    EXPECT_EQ(got.value, want.value);
    EXPECT_EQ(got.use, want.use);
    EXPECT_EQ(got.overridden_by, want.overridden_by);
    EXPECT_EQ(got.carried_from, want.carried_from);
    EXPECT_EQ(got.joined, want.joined);
    // The line's place in the text, without its line end.
    const std::string_view line = std::string_view(c.text).substr(got.start, got.length);
    EXPECT_EQ(line.find('\n'), std::string_view::npos);
    EXPECT_EQ(got.ended, got.start + got.length < c.text.size());
  }
}

using F = LineFate;
using U = ValueUse;
const ReadingCase reading_cases[] = {
    {"well_formed", "# orvek\nserver http://a\nusername ops\n\ndigest yes\n",
     {{2, F::TAKEN, "server", "http://a", U::USED, 0, 0, false},
      {3, F::TAKEN, "username", "ops", U::USED, 0, 0, false},
      {5, F::TAKEN, "digest", "yes", U::USED, 0, 0, false}}},
    {"later_line_overrides", "username a\nusername b\nusername c\n",
     {{1, F::TAKEN, "username", "a", U::USED, 3, 0, false},
      {2, F::TAKEN, "username", "b", U::USED, 3, 0, false},
      {3, F::TAKEN, "username", "c", U::USED, 0, 0, false}}},
    {"switch_left_off", "digest Yes\nnewcgi true\r\nverify yes\n",
     {{1, F::TAKEN, "digest", "Yes", U::OFF, 0, 0, false},
      {2, F::TAKEN, "newcgi", "true\r", U::OFF, 0, 0, false},
      {3, F::TAKEN, "verify", "yes", U::USED, 0, 0, false}}},
    {"maxage_unusable_and_usable", "maxage 5x\nmaxage 5m\n",
     {{1, F::TAKEN, "maxage", "5x", U::UNUSABLE, 2, 0, false}, {2, F::TAKEN, "maxage", "5m", U::USED, 0, 0, false}}},
    {"unknown_key_runs_on", "colour red\nserver http://a\n\n#x\nusername u\n",
     {{1, F::NO_KEY, "", "", U::USED, 0, 0, false},
      {2, F::RUN_ON, "", "", U::USED, 0, 1, false},
      {5, F::RUN_ON, "", "", U::USED, 0, 1, false}}},
    {"key_split_over_two_lines", "ser\nver http://x\n",
     {{1, F::NO_KEY, "", "", U::USED, 0, 0, false}, {2, F::TAKEN, "server", "http://x", U::USED, 0, 1, true}}},
    {"two_keys_first_in_commit_order_takes_the_value", "digest username yes\n",
     {{1, F::TAKEN, "username,digest", "yes", U::USED, 0, 0, false}}},
    {"last_line_without_line_end", "username a\nusername b",
     {{1, F::TAKEN, "username", "a", U::USED, 0, 0, false}, {2, F::UNENDED, "username", "", U::USED, 0, 0, false}}},
    {"last_line_of_text_only", "username a\nstray",
     {{1, F::TAKEN, "username", "a", U::USED, 0, 0, false}, {2, F::NO_KEY, "", "", U::USED, 0, 0, false}}},
    {"blank_comment_and_space_lines_are_left_out", "\n   \n# note\n  # note\n", {}},
    {"carriage_return_line_is_text", "\r\nusername u\n",
     {{1, F::NO_KEY, "", "", U::USED, 0, 0, false}, {2, F::RUN_ON, "", "", U::USED, 0, 1, false}}},
};

INSTANTIATE_TEST_SUITE_P(Table, ConfigReadingTable, testing::ValuesIn(reading_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// The one table of keys: every key the reader takes is in it, in commit
// order, and each switch turns on by its word alone.
TEST(ConfigKeys, EachSwitchTurnsOnByItsWordAlone) {
  for (const ConfigKey& row : CONFIG_KEYS) {
    if (row.kind != KeyKind::SWITCH) continue;
    SCOPED_TRACE(std::string(row.name));
    const std::string on = std::string(row.name) + " " + std::string(row.on_word) + "\n";
    const std::string off = std::string(row.name) + " on\n";
    EXPECT_NE(parse_config(on), parse_config(""));
    EXPECT_EQ(parse_config(off), parse_config(""));
  }
}

TEST(ConfigParse, OverlongTokenKeepsItsStart) {
  const std::string value(5000, 'p');
  const Settings s = parse_config("password " + value + "\n");
  EXPECT_EQ(s.password, value.substr(0, TOKEN_LIMIT));
}

// The search, with temporary folders standing in for ./, /etc/ and /usr/local/etc/.
class ConfigSearch : public testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("orvek-config-" + std::to_string(::getpid()));
    for (const char* d : {"a", "b", "c"}) fs::create_directories(root_ / d);
    directories_ = {(root_ / "a/").string(), (root_ / "b/").string(), (root_ / "c/").string()};
  }
  void TearDown() override { fs::remove_all(root_); }
  void write(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }

  fs::path root_;
  std::vector<std::string> directories_;
};

TEST_F(ConfigSearch, FirstDirectoryHoldingTheFileWins) {
  write(root_ / "b/orvek.conf", "username second\n");
  write(root_ / "c/orvek.conf", "username third\n");
  const auto settings = find_config_file(nullptr, directories_);
  ASSERT_TRUE(settings);
  EXPECT_EQ(settings->username, "second");
}

TEST_F(ConfigSearch, NamedFileIsUsedWhateverItsName) {
  write(root_ / "a/orvek.conf", "username searched\n");
  write(root_ / "site.cfg", "username named\n");
  const auto settings = find_config_file((root_ / "site.cfg").c_str(), directories_);
  ASSERT_TRUE(settings);
  EXPECT_EQ(settings->username, "named");
}

// The text the settings came from, and the account of it, for -t's notes.
TEST_F(ConfigSearch, KeepsTheTextItRead) {
  const std::string text = "username searched\nusername again\n";
  write(root_ / "b/orvek.conf", text);
  ConfigText as_read;
  std::string path;
  const auto settings = find_config_file(nullptr, directories_, &path, &as_read);
  ASSERT_TRUE(settings);
  EXPECT_EQ(path, (root_ / "b/orvek.conf").string());
  EXPECT_EQ(as_read.text, text);
  const ConfigRead read = read_config(text);
  EXPECT_EQ(*settings, read.settings);
  ASSERT_EQ(as_read.reading.lines.size(), 2u);
  EXPECT_EQ(as_read.reading.lines[0].overridden_by, 2u);
}

TEST_F(ConfigSearch, NothingFound) { EXPECT_FALSE(find_config_file(nullptr, directories_)); }

TEST_F(ConfigSearch, MissingNamedFileIsNotFoundEvenIfSearchWouldFindOne) {
  write(root_ / "a/orvek.conf", "username searched\n");
  EXPECT_FALSE(find_config_file((root_ / "missing.conf").c_str(), directories_));
}

// A directory or FIFO where orvek.conf is expected is passed over like a
// missing file: the search goes on, and a -c naming one ends the program.
TEST_F(ConfigSearch, OnlyRegularFilesCount) {
  fs::create_directories(root_ / "a/orvek.conf");
  ASSERT_EQ(::mkfifo((root_ / "b/orvek.conf").c_str(), 0600), 0);
  write(root_ / "c/orvek.conf", "username third\n");
  const auto settings = find_config_file(nullptr, directories_);
  ASSERT_TRUE(settings);
  EXPECT_EQ(settings->username, "third");
  EXPECT_FALSE(find_config_file((root_ / "b/orvek.conf").c_str(), directories_));
  EXPECT_FALSE(find_config_file((root_ / "a/orvek.conf").c_str(), directories_));
}

TEST_F(ConfigSearch, EnormousFileIsReadOnlyUpToTheLimit) {
  {
    std::ofstream out(root_ / "big.conf");
    out << "username early\n";
    const std::string comment = "#" + std::string(1022, 'c') + "\n";
    for (std::size_t written = 0; written <= CONFIG_READ_LIMIT; written += comment.size()) out << comment;
    out << "username late\n";
  }
  const auto settings = find_config_file((root_ / "big.conf").c_str(), directories_);
  ASSERT_TRUE(settings);
  EXPECT_EQ(settings->username, "early");
}

// The message goes to standard output, before the terminal is touched.
TEST_F(ConfigSearch, ProgramPrintsNotFoundMessageAndExitsTwo) {
  const std::string command = "cd '" + root_.string() + "' && '" ORVEK_BINARY "' -c missing.conf 2>/dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char buffer[256] = {};
  const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, pipe);
  const int status = ::pclose(pipe);
  EXPECT_EQ(std::string(buffer, n), "Could not find orvek.conf, exiting.\n");
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
}

}  // namespace
