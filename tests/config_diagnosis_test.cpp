// The second look orvek -t takes at the configuration and the exclude file:
// each line the reader did not take, or took changed, named with its reason.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "check/interval_words.h"
#include "config/config_diagnosis.h"
#include "config/config_file.h"
#include "config/exclude_diagnosis.h"

namespace {

namespace fs = std::filesystem;

struct Expected {
  std::size_t line;
  std::string text;                // the line as shown
  std::vector<std::string> words;  // parts of the reason
};

struct DiagnosisCase {
  const char* name;
  std::string file;
  std::vector<Expected> notes;  // every note, in order
};

void PrintTo(const DiagnosisCase& c, std::ostream* out) { *out << c.name; }

void expect_notes(const LineNotes& found, const DiagnosisCase& c) {
  ASSERT_EQ(found.notes.size(), c.notes.size()) << [&] {
    std::string all;
    for (const LineNote& n : found.notes) all += std::to_string(n.line) + ": " + n.text + ": " + n.why + "\n";
    return all;
  }();
  for (std::size_t i = 0; i < c.notes.size(); ++i) {
    EXPECT_EQ(found.notes[i].line, c.notes[i].line);
    EXPECT_EQ(found.notes[i].text, c.notes[i].text);
    for (const std::string& word : c.notes[i].words)
      EXPECT_NE(found.notes[i].why.find(word), std::string::npos) << found.notes[i].why;
  }
}

class ConfigDiagnosis : public testing::TestWithParam<DiagnosisCase> {};

TEST_P(ConfigDiagnosis, NamesEachLineNotTakenAsWritten) { expect_notes(diagnose_config(GetParam().file), GetParam()); }

const DiagnosisCase config_cases[] = {
    {"well_formed_has_no_note",
     "# orvek\nserver http://mon.example\nusername ops\npassword s3cret # the wall's\ndigest yes\nnewcgi true\n",
     {}},
    {"capitalised_key_and_the_lines_it_swallows",
     "server http://a\nDigest yes\nnewcgi true\n",
     {{2, "Digest yes", {"keys are lower case: digest", "no key on the lines after it"}},
      {3, "newcgi true", {"not read: line 2 was not taken"}}}},
    {"tab_between_key_and_value", "username\tops\n", {{1, "username\tops", {"a tab between username and its value",
                                                                          "takes only a space"}}}},
    {"no_break_space_between_key_and_value", "newcgi\xC2\xA0true\n", {{1, "newcgi\xC2\xA0true", {"a no-break space"}}}},
    {"last_line_without_line_end", "server http://a\nnewcgi true",
     {{2, "newcgi true", {"the last line has no line end: the reader drops it"}}}},
    {"last_line_without_line_end_overrides_nothing", "username a\nusername b",
     {{2, "username b", {"no line end", "line 1 counts"}}}},
    {"key_given_twice", "username a\nusername b\n", {{1, "username a", {"given again on line 2, which counts"}}}},
    {"password_spaces_and_hash_value_never_shown", "password a b\npassword c#d\n",
     {{1, "password ********", {"spaces and # are dropped from password", "given again on line 2"}},
      {2, "password ********", {"spaces and # are dropped from password"}}}},
    {"misspelt_password_value_never_shown", "passwd hunter2\n",
     {{1, "passwd ********", {"unknown key \"passwd\", probably meant password"}}}},
    {"glued_password_value_never_shown", "passwordhunter2\n", {{1, "password ********", {"no space after password"}}}},
    {"spaces_inside_a_server_value", "server http://a b\n", {{1, "server http://a b", {"taken as \"http://ab\""}}}},
    {"hash_glued_inside_a_value", "username ops#2\n", {{1, "username ops#2", {"\"#\" starts a comment", "\"ops\""}}}},
    {"windows_line_ends", "digest yes\r\n", {{1, "digest yes\r", {"carriage return", "only exactly \"yes\" turns digest on"}}}},
    {"switch_in_other_letters", "newcgi True\n", {{1, "newcgi True", {"only exactly \"true\""}}}},
    {"two_keys_on_one_line", "username digest yes\n",
     {{1, "username digest yes", {"two keys on one line: username takes the value, digest gets an empty one"}}}},
    {"two_keys_with_the_password_never_shown", "username password hunter2\n",
     {{1, "username password ********", {"two keys on one line: username takes the value, password gets an empty one"}}}},
    {"password_file_path_is_shown", "passwordfile /etc/orvek/pass word\n",
     {{1, "passwordfile /etc/orvek/pass word", {"spaces inside the value are dropped"}}}},
    {"misspelt_key", "usrname ops\n", {{1, "usrname ops", {"unknown key \"usrname\", probably meant username"}}}},
    {"other_name_for_a_key", "url http://a\n", {{1, "url http://a", {"probably meant server"}}}},
    {"unknown_word_lists_the_keys", "colour red\n", {{1, "colour red", {"the keys are server, username"}}}},
    {"key_followed_by_hash", "newcgi#true\n", {{1, "newcgi#true", {"\"#\" right after the key newcgi"}}}},
    {"key_alone", "newcgi\nserver http://a\n",
     {{1, "newcgi", {"no space and no value"}}, {2, "server http://a", {"not read: line 1"}}}},
    {"tab_before_the_key", "\tserver http://a\n", {{1, "\tserver http://a", {"a tab before the key"}}}},
    {"key_split_over_two_lines", "ser\nver http://x\n",
     {{1, "ser", {"runs on into the next lines"}}, {2, "ver http://x", {"read as server only together with line 1"}}}},
    {"windows_empty_line_is_text", "server http://a\r\n\r\nusername u\r\n",
     {{1, "server http://a\r", {"carriage return stays at the end"}},
      {2, "\r", {"a line of blanks holding a carriage return", "no key on the lines after it"}},
      {3, "username u\r", {"not read: line 2"}}}},
    {"maxage_no_number", "maxage 5x\n", {{1, "maxage 5x", {"not a number of seconds up to 31622400", "maxage is not set"}}}},
    {"maxage_in_minutes_is_no_mistake", "maxage 5m\nmaxage 2h\n", {{1, "maxage 5m", {"given again on line 2"}}}},
    {"byte_order_mark_named_and_left_out_of_the_line",
     "\xEF\xBB\xBFserver http://a\nusername u\n",
     {{1, "server http://a", {"the file starts with a byte-order mark (EF BB BF): save it without",
                              "no key on the lines after it"}},
      {2, "username u", {"not read: line 1 was not taken"}}}},
    {"byte_order_mark_before_the_password_hides_nothing_of_it", "\xEF\xBB\xBFpassword hunter2\n",
     {{1, "password ********", {"byte-order mark (EF BB BF)"}}}},
    {"byte_order_mark_inside_the_file", "server http://a\n\xEF\xBB\xBFusername u\n",
     {{2, "\xEF\xBB\xBFusername u", {"a byte-order mark (EF BB BF) before the key"}}}},
    {"quoted_password", "password \"s3cret\"\npassword 's3cret'\n",
     {{1, "password ********", {"the quotes are part of the password", "given again on line 2"}},
      {2, "password ********", {"the quotes are part of the password"}}}},
    {"one_quote_is_no_quoting", "password \"s3cret\n", {}},
    {"a_section_header_mistyped_in_a_file_without_sections", "[Server prod]\nserver http://a\n",
     {{1, "[Server prod]", {"a section header is written [server NAME]", "no key on the lines after it"}},
      {2, "server http://a", {"not read: line 1 was not taken"}}}},
    {"exclude_in_a_file_without_sections_names_sections_and_e", "Exclude /x\nusername u\n",
     {{1, "Exclude /x", {"exclude is a key only of a file with [server NAME] sections", "name the exclude file with -e"}},
      {2, "username u", {"not read: line 1 was not taken"}}}},
    {"comments_and_blank_lines_are_no_mistake", "\n   \n# note\n  # note\nserver http://a\n", {}},
};

INSTANTIATE_TEST_SUITE_P(Table, ConfigDiagnosis, testing::ValuesIn(config_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// The lines the second look calls fine are the ones the reader took: the
// values it reports as counting are the reader's.
TEST(ConfigDiagnosis, AgreesWithTheReader) {
  const std::string file = "server http://a\nusername x\nusername y\npassword p\nnewcgi true\n";
  const Settings s = parse_config(file);
  EXPECT_EQ(s.username, "y");
  const LineNotes notes = diagnose_config(file);
  ASSERT_EQ(notes.notes.size(), 1u);
  EXPECT_EQ(notes.notes[0].line, 2u);
}

TEST(ConfigDiagnosis, KeyLinesNameTheLinesWrittenForAKey) {
  const LineNotes notes = diagnose_config("Digest yes\nnewcgi true\nNewcgi true\n");
  const std::vector<std::pair<std::string, std::size_t>> expected = {{"digest", 1}, {"newcgi", 2}, {"newcgi", 3}};
  EXPECT_EQ(notes.key_lines, expected);
}

TEST(ConfigDiagnosis, AThousandBadLinesAreCountedNotListed) {
  std::string file = "Server http://a\n";
  for (int i = 0; i < 1000; ++i) file += "username u\n";
  const LineNotes notes = diagnose_config(file);
  EXPECT_EQ(notes.notes.size(), SHOWN_LINES_LIMIT);
  EXPECT_EQ(notes.more, 1001 - SHOWN_LINES_LIMIT);
}

// Whatever shape a password line has, its value never shows in a note.
TEST(ConfigDiagnosis, NeverShowsAPasswordValue) {
  const std::string secret = "Zq7-SECRET-v4";
  const std::string keys[] = {"password", "Password", "passwd", "pass", "PASSWORD", "passwrd", "password:"};
  const std::string before[] = {"", "  ", "\t", "x ", "username ", "Server ", "\xEF\xBB\xBF"};
  const std::string between[] = {" ", "\t", "", "  ", "#", "\xC2\xA0", " = "};
  const std::string after[] = {"\n", "", " # note\n", "\r\n"};
  for (const auto& key : keys)
    for (const auto& b : before)
      for (const auto& sep : between)
        for (const auto& a : after)
          for (const std::string& first : {std::string(), std::string("Digest yes\n"), std::string("server http://a\n")}) {
            const std::string file = first + b + key + sep + secret + a + "newcgi true\n";
            for (const LineNote& note : diagnose_config(file).notes) {
              EXPECT_EQ(note.text.find("SECRET"), std::string::npos) << file;
              EXPECT_EQ(note.why.find("SECRET"), std::string::npos) << file;
            }
          }
}

// The password is hidden where it stands as the password, and nowhere else:
// paths, the server and other values show as written even where they hold
// the password's letters.
TEST(ConfigDiagnosis, MasksThePasswordOnlyWhereItStandsAsOne) {
  struct Case {
    const char* name;
    std::string file;
    std::vector<std::pair<std::size_t, std::string>> shown;  // line, text as shown
  };
  const Case cases[] = {
      {"password status, the server and a path hold it",
       "server http://status.example/status\nserver http://status.example/status\npassword status\n"
       "cafile /etc/status/ca.pem\ncafile /etc/status/ca.pem\npassword status\n",
       {{1, "server http://status.example/status"}, {3, "password ********"}, {4, "cafile /etc/status/ca.pem"}}},
      {"password guest, the password file c/guest.conf",
       "passwordfile c/guest.conf\npasswordfile c/guest.conf\npassword guest\npassword gu est\n",
       {{1, "passwordfile c/guest.conf"}, {3, "password ********"}, {4, "password ********"}}},
      {"the password as part of another value", "password Qx9\nusername Qx91\nusername Qx9 2\n",
       {{2, "username Qx91"}, {3, "username Qx9 2"}}},
      {"glued", "passwordQx9\n", {{1, "password ********"}}},
      {"misspelt", "Password Qx9\n", {{1, "Password ********"}}},
      {"after another word", "username password Qx9\n", {{1, "username password ********"}}},
      {"run on from a line not taken", "x\npassword Qx9\n", {{1, "x"}, {2, "password ********"}}},
      {"joined over two lines", "pass\nword Qx9\n", {{1, "pass"}, {2, "word ********"}}},
      {"unended", "password Qx9", {{1, "password ********"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const LineNotes notes = diagnose_config(c.file);
    std::vector<std::pair<std::size_t, std::string>> shown;
    for (const LineNote& note : notes.notes) {
      shown.emplace_back(note.line, note.text);
      if (note.text.find("********") != std::string::npos) {
        EXPECT_EQ(note.why.find("Qx9"), std::string::npos) << note.why;
      }
    }
    EXPECT_EQ(shown, c.shown);
  }
}

TEST(ProbableKey, NearWordsAndOtherNames) {
  const std::pair<const char*, const char*> cases[] = {
      {"server", "server"}, {"SERVER", "server"}, {"sever", "server"}, {"usernmae", "username"},
      {"user", "username"}, {"pass", "password"}, {"digets", "digest"}, {"newgci", "newcgi"},
      {"colour", ""},       {"", ""},             {"x", ""},
  };
  for (const auto& [word, key] : cases) EXPECT_EQ(probable_key(word), key) << word;
}

class ExcludeDiagnosis : public testing::TestWithParam<DiagnosisCase> {};

TEST_P(ExcludeDiagnosis, NamesEachSurprisingLine) { expect_notes(diagnose_exclude_file(GetParam().file), GetParam()); }

const DiagnosisCase exclude_cases[] = {
    {"plain_entries_have_no_note", "db1\nBackup\nweb server\n", {}},
    {"empty_line_hides_every_service", "db1\n\nweb\n", {{2, "", {"hides every service"}}}},
    {"empty_lines_told_once_then_pointed_back", "\n\n", {{1, "", {"hides every service"}}, {2, "", {"first on line 1"}}}},
    {"trailing_blank", "db1 \n", {{1, "db1 ", {"trailing blanks", "equals no host named \"db1\""}}}},
    {"leading_tab", "\tdb1\n", {{1, "\tdb1", {"leading blanks"}}}},
    {"carriage_return", "db1\r\n", {{1, "db1\r", {"carriage return", "\"db1\""}}}},
    {"duplicate", "db1\nweb\ndb1\n", {{3, "db1", {"the same as line 1"}}}},
    {"last_line_without_line_end", "db1\nweb", {{2, "web", {"no line end: it is no entry"}}}},
    {"comment_is_an_entry", "# old hosts\nweb\n",
     {{1, "# old hosts", {"exclude files have no comments: this line hides services whose names contain `# old hosts`"}}}},
    {"indented_comment_with_a_trailing_blank", "db1\n  #x \n",
     {{2, "  #x ", {"contain `  #x `", "trailing blanks stay in the entry", "leading blanks",
                    "it equals no host named \"#x\""}}}},
    {"hash_inside_an_entry_is_no_comment", "web#2\n", {}},
    {"byte_order_mark", "\xEF\xBB\xBF" "db1\nweb\n",
     {{1, "\xEF\xBB\xBF" "db1", {"the file starts with a byte-order mark (EF BB BF), which stays in the first entry"}}}},
};

INSTANTIATE_TEST_SUITE_P(Table, ExcludeDiagnosis, testing::ValuesIn(exclude_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ExcludeDiagnosis, MillionsOfEmptyLinesAreCounted) {
  const LineNotes notes = diagnose_exclude_file(std::string(1 << 20, '\n'));
  EXPECT_EQ(notes.notes.size(), SHOWN_LINES_LIMIT);
  EXPECT_EQ(notes.more, (1u << 20) - SHOWN_LINES_LIMIT);
}

// What the wall marks on a server's header, and -t warns of: a section's
// exclude file that cannot serve. A FIFO is never opened to wait.
TEST(ExcludeFileFault, NamesWhyASectionsExcludeFileCannotServe) {
  const fs::path folder = fs::temp_directory_path() / ("orvek-exclude-fault-" + std::to_string(::getpid()));
  fs::create_directories(folder / "a-directory");
  ASSERT_EQ(::mkfifo((folder / "a-fifo").c_str(), 0600), 0);
  const auto file = [&folder](const char* name, const std::string& text) {
    std::ofstream(folder / name) << text;
    return (folder / name).string();
  };
  struct Case {
    const char* name;
    std::string path;
    ExcludeFileFault fault;
  };
  const Case cases[] = {
      {"none named", "", {false, ""}},
      {"fine", file("fine", "db1\nweb\n"), {false, ""}},
      {"empty file", file("empty", ""), {false, ""}},
      {"an empty last line", file("last", "db1\nweb\n\n"), {true, "line 3 is empty, which hides every service"}},
      {"an empty first line", file("first", "\ndb1\n"), {true, "line 1 is empty, which hides every service"}},
      {"the first empty line named", file("two", "a\nb\n\nc\n\n"), {true, "line 3 is empty, which hides every service"}},
      {"blanks are no empty line", file("blanks", "a\n \n\r\n"), {false, ""}},
      {"an unended empty tail is no entry", file("unended", "a\nb"), {false, ""}},
      {"missing", (folder / "missing").string(), {true, "No such file or directory"}},
      {"a directory", (folder / "a-directory").string(), {true, "Is a directory"}},
      {"a FIFO", (folder / "a-fifo").string(), {true, "a FIFO, not a regular file"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ExcludeFileFault fault = exclude_file_fault(c.path);
    EXPECT_EQ(fault.unusable, c.fault.unusable);
    EXPECT_EQ(fault.cause, c.fault.cause);
  }
  fs::remove_all(folder);
}

TEST(IntervalWords, TellHowMinusSWasRead) {
  struct Case {
    const char* written;
    std::uint32_t seconds;
    std::string words;
  };
  const Case cases[] = {
      {nullptr, 10, "10 s (the default)"},
      {"five", 0, "0 s (-s five: not a number: no pause between fetches)"},
      {"1min", 1, "1 s (-s 1min: text after the number ignored)"},
      {"-1", 4294967295u, "4294967295 s (-s -1: a negative number wraps around: the screen is never refreshed)"},
      {"0x1e", 30, "30 s (-s 0x1e: read as hexadecimal)"},
      {"010", 8, "8 s (-s 010: a leading 0 reads it as octal)"},
      {"0", 0, "0 s (-s 0: no pause between fetches)"},
      {"4294967301", 5, "5 s (-s 4294967301: too large: only its low 32 bits are kept)"},
      {"15", 15, "15 s (-s 15)"},
      {"90000", 90000, "90000 s (-s 90000: over a day between refreshes)"},
  };
  for (const Case& c : cases) EXPECT_EQ(interval_words(c.written, c.seconds), c.words);
}

TEST(ConfigSearchFailures, GiveTheSystemsReasonPerPath) {
  const fs::path folder = fs::temp_directory_path() / ("orvek-search-" + std::to_string(::getpid()));
  fs::create_directories(folder / "a" / "orvek.conf");  // a directory where the file should be
  fs::create_directories(folder / "b");
  const std::vector<std::string> directories = {(folder / "a").string() + "/", (folder / "b").string() + "/"};
  const std::vector<std::string> expected = {(folder / "a" / "orvek.conf").string() + ": Is a directory",
                                             (folder / "b" / "orvek.conf").string() + ": No such file or directory"};
  EXPECT_EQ(config_search_failures(nullptr, directories), expected);
  const std::string named = (folder / "b").string();
  EXPECT_EQ(config_search_failures(named.c_str(), directories), std::vector<std::string>{named + ": Is a directory"});
  fs::remove_all(folder);
}

}  // namespace
