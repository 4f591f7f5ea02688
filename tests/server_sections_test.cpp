// orvek.conf with [server NAME] sections: the headers, the defaults each
// section takes, the exclude key of a file with sections, a file without
// sections read as ever, and -t's notes on a file with sections.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "config/config_diagnosis.h"
#include "config/config_file.h"
#include "config/server_sections.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> names_of(const ServersConfig& config) {
  std::vector<std::string> names;
  for (const ServerConfig& server : config.servers) names.push_back(server.name);
  return names;
}

TEST(ServerSections, HeadersNameAServerOrMakeTheFileUnusable) {
  const std::string name32(32, 'n');
  std::string utf8_32;
  for (int i = 0; i < 32; ++i) utf8_32 += "\xC3\xA9";  // é, two bytes
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::string> names;  // the servers, when usable
    std::string fault;               // else the whole fault
  };
  const Case cases[] = {
      {"plain", "[server prod]\n", {"prod"}, ""},
      {"blanks around the name and the header", "  \t[server \t prod lab \t]  \t\n", {"prod lab"}, ""},
      {"a tab after server", "[server\tprod]\n", {"prod"}, ""},
      {"windows line end", "[server prod]\r\nusername u\r\n", {"prod"}, ""},
      {"no line end", "[server prod]", {"prod"}, ""},
      {"names compared as written", "[server lab]\n[server Lab]\n[server lab2]\n", {"lab", "Lab", "lab2"}, ""},
      {"32 characters", "[server " + name32 + "]\n", {name32}, ""},
      {"32 two-byte characters", "[server " + utf8_32 + "]\n", {utf8_32}, ""},
      {"signs and a bracket inside", "[server a#b [1]\n", {"a#b [1"}, ""},
      {"no name", "username u\n\n[server]\n", {}, "/etc/orvek.conf:3: a server section without a name"},
      {"blanks only", "[server  \t ]\n", {}, "/etc/orvek.conf:1: a server section without a name"},
      {"33 characters", "[server " + name32 + "x]\n", {},
       "/etc/orvek.conf:1: a server name longer than 32 characters"},
      {"33 two-byte characters", "[server " + utf8_32 + "x]\n", {},
       "/etc/orvek.conf:1: a server name longer than 32 characters"},
      {"control byte", "[server a\x01z]\n", {}, "/etc/orvek.conf:1: a control character in the server name"},
      {"carriage return inside", "[server a\r]\n", {}, "/etc/orvek.conf:1: a control character in the server name"},
      {"text after ]", "[server a]\n[server b] x\n", {}, "/etc/orvek.conf:2: text after \"]\" in the section header"},
      {"a comment after ]", "[server a] # prod\n", {}, "/etc/orvek.conf:1: text after \"]\" in the section header"},
      {"no ]", "[server a\n", {}, "/etc/orvek.conf:1: no \"]\" ends the section header"},
      {"the same name twice", "[server a]\n[server b]\n\n[server a]\n", {},
       "/etc/orvek.conf:4: a second server named \"a\""},
      {"the first fault counts", "[server]\n[server a]\n[server a]\n", {},
       "/etc/orvek.conf:1: a server section without a name"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ServersConfig config = read_servers(c.text, "/etc/orvek.conf");
    EXPECT_TRUE(config.sectioned);
    EXPECT_EQ(config.fault, c.fault);
    EXPECT_EQ(names_of(config), c.fault.empty() ? c.names : std::vector<std::string>{});
  }
}

// Lines that only look like a header are text for the reader, as ever.
TEST(ServerSections, OtherBracketLinesOpenNoSection) {
  for (const std::string text : {"[servers]\nusername u\n", "[global]\n", "[server\nusername u\n", "[Server a]\n",
                                 "# [server a]\nusername u\n", "x [server a]\n", "[server\r\n"}) {
    SCOPED_TRACE(text);
    const ServersConfig config = read_servers(text, "orvek.conf");
    EXPECT_FALSE(config.sectioned);
    EXPECT_EQ(config.fault, "");
    ASSERT_EQ(config.servers.size(), 1u);
    EXPECT_EQ(config.servers[0].settings, parse_config(text));
  }
}

// In a file with sections, a line that starts with "[" and opens no section
// is a header mistyped: its server would vanish in silence, so the file is
// refused, naming the line as written (up to its "]") and the fix.
TEST(ServerSections, HeaderLookAlikesMakeAFileWithSectionsUnusable) {
  const std::string fix = "\": a section header is written [server NAME]";
  struct Case {
    const char* name;
    std::string text;
    std::string fault;
  };
  const Case cases[] = {
      {"capital S", "[server a]\nserver http://a\n\n[Server prod]\nserver http://p\n",
       "orvek.conf:4: \"[Server prod]" + fix},
      {"no server word", "[server a]\n[prod]\n", "orvek.conf:2: \"[prod]" + fix},
      {"a blank after [", "[server a]\n  [ server prod ]  \n", "orvek.conf:2: \"[ server prod ]" + fix},
      {"servers", "[server a]\n[servers prod]\n", "orvek.conf:2: \"[servers prod]" + fix},
      {"before the first section", "username u\n[global]\n[server a]\n", "orvek.conf:2: \"[global]" + fix},
      {"a tab before it", "[server a]\n\t[Server b]\r\n", "orvek.conf:2: \"[Server b]" + fix},
      {"[server glued to the name", "[server a]\n[serverprod]\n", "orvek.conf:2: \"[serverprod]" + fix},
      {"no ]: only its first word", "[server a]\n[Server prod password x\n", "orvek.conf:2: \"[Server" + fix},
      {"only up to ]", "[server a]\n[Server b] password x\n", "orvek.conf:2: \"[Server b]" + fix},
      {"[server without a name or ]", "[server a]\n[server\n", "orvek.conf:2: \"[server" + fix},
      {"the first fault in the file counts", "[server a]\n[Server b]\n[server a]\n",
       "orvek.conf:2: \"[Server b]" + fix},
      {"a header fault before it counts", "[server a]\n[server a]\n[Server b]\n",
       "orvek.conf:2: a second server named \"a\""},
      {"a long line quoted in part", "[server a]\n[" + std::string(100, 'x') + "]\n",
       "orvek.conf:2: \"[" + std::string(59, 'x') + "..." + fix},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ServersConfig config = read_servers(c.text, "orvek.conf");
    EXPECT_TRUE(config.sectioned);
    EXPECT_EQ(config.fault, c.fault);
    EXPECT_TRUE(config.servers.empty());
  }
  // Lines that only start with text, or a comment, are the reader's.
  for (const std::string text : {"[server a]\n# [Server b]\n", "[server a]\nx [Server b]\n", "[server a]\n\n"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(read_servers(text, "orvek.conf").fault, "");
  }
}

// Names the check's plugin line or a shell command cannot carry as written
// are refused, the character named: so each server's performance data
// labels stay its own ("a=b" and "a_b" were both 'a_b::time').
TEST(ServerSections, NamesHoldNoCharacterThatBreaksTheCheckOrTheShell) {
  const std::string refused = " in the server name: it would break the check's output or a shell's quoting; a name "
                              "holds none of | ' \" = ; ` $ \\";
  // (name, the fault's words after "orvek.conf:1: ")
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"p|q", "a vertical bar (|)" + refused},
      {"bob's", "a single quote (')" + refused},
      {"say \"hi\"", "a double quote (\")" + refused},
      {"a=b", "an equals sign (=)" + refused},
      {"a;b", "a semicolon (;)" + refused},
      {"`id`", "a backquote (`)" + refused},
      {"$HOME", "a dollar sign ($)" + refused},
      {"a\\b", "a backslash (\\)" + refused},
      {"x$|", "a dollar sign ($)" + refused},  // the first one named
      {"a\xC2\x80" "b", "a control character (U+0080) in the server name"},
      {"a\xC2\x9B", "a control character (U+009B) in the server name"},
      {"a\xC2\x9F", "a control character (U+009F) in the server name"},
      {"a\x7F", "a control character in the server name"},
      {"a\tb", "a control character in the server name"},
  };
  for (const auto& [name, why] : cases) {
    SCOPED_TRACE(name);
    const ServersConfig config = read_servers("[server " + name + "]\n", "orvek.conf");
    EXPECT_EQ(config.fault, "orvek.conf:1: " + why);
    EXPECT_TRUE(config.servers.empty());
  }
  // Still names: the signs a plugin line and a quoted shell word carry, and
  // the characters around C1 in UTF-8 (U+00A0, U+00FF, U+0100).
  for (const std::string name : {"a_b", "a-b.c:d/e", "a#b [1", "100%", "(x)", "a,b", "a\xC2\xA0" "b", "\xC3\xBF",
                                 "\xC4\x80", "\xE2\x80\x94"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(names_of(read_servers("[server " + name + "]\n", "orvek.conf")), std::vector<std::string>{name});
  }
}

constexpr std::string_view WALL =
    "# defaults for every server below\n"  // 1
    "username wall\n"
    "passwordfile /etc/orvek/wall.pass\n"
    "digest yes\n"
    "newcgi true\n"  // 5
    "maxage 2h\n"
    "\n"
    "[server prod]\n"  // 8
    "server https://monitor.example.org\n"
    "maxage 5m\n"  // 10
    "\n"
    "[server lab]\n"  // 12
    "server http://lab-monitor.example.org\n"
    "username labwall\n"
    "password other\n"  // 15
    "exclude /etc/orvek/lab.exclude\n"
    "digest no\n"
    "maxage 5x\n"
    "[server bare]\n"  // 19
    "username \n";

// Each server: its own value for each key its section sets, the defaults'
// for the others, and what follows from them derived as for a file of its
// own (a section's lines after the defaults' read as one file).
TEST(ServerSections, SectionsTakeTheDefaultsForKeysTheyDoNotSet) {
  const ServersConfig config = read_servers(WALL, "orvek.conf");
  ASSERT_EQ(config.fault, "");
  ASSERT_EQ(names_of(config), (std::vector<std::string>{"prod", "lab", "bare"}));
  const ServerConfig &prod = config.servers[0], &lab = config.servers[1], &bare = config.servers[2];
  const std::string defaults(WALL.substr(0, WALL.find("[server")));

  EXPECT_EQ(prod.settings, parse_config(defaults + "server https://monitor.example.org\nmaxage 5m\n"));
  EXPECT_EQ(prod.settings.status_url, "https://monitor.example.org" + std::string(STATUS_PATH));
  EXPECT_EQ(prod.settings.data_age_url, "https://monitor.example.org" + std::string(DATA_AGE_PATH));
  EXPECT_EQ(prod.settings.max_age, 300u);
  EXPECT_EQ(prod.settings.username, "wall");
  EXPECT_EQ(prod.settings.passwordfile, "/etc/orvek/wall.pass");
  EXPECT_TRUE(prod.settings.digest && prod.settings.newcgi);
  EXPECT_EQ(prod.exclude_path, "");

  // A switch the defaults turn on, turned off; a maxage no number of
  // seconds, where the defaults' would be one: the section's own counts.
  EXPECT_EQ(lab.settings, parse_config(defaults + "server http://lab-monitor.example.org\nusername labwall\n"
                                                  "password other\ndigest no\nmaxage 5x\n"));
  EXPECT_FALSE(lab.settings.digest);
  EXPECT_EQ(lab.settings.max_age, std::nullopt);
  EXPECT_EQ(lab.settings.max_age_value, "5x");
  EXPECT_EQ(lab.settings.passwordfile, "/etc/orvek/wall.pass");
  EXPECT_EQ(lab.exclude_path, "/etc/orvek/lab.exclude");

  // No server line: kept, without a server; a key set empty is set.
  EXPECT_FALSE(bare.server_given);
  EXPECT_EQ(bare.settings.status_url, STATUS_PATH);
  EXPECT_EQ(bare.settings.username, "");
  EXPECT_EQ(bare.settings.max_age, 7200u);
  EXPECT_TRUE(prod.server_given && lab.server_given);

  // Where each section's lines lie, and the readings numbered as in the file.
  EXPECT_EQ(prod.header_line, 8u);
  EXPECT_EQ(prod.first_line, 9u);
  EXPECT_EQ(prod.end_line, 12u);
  EXPECT_EQ(bare.header_line, 19u);
  EXPECT_EQ(bare.end_line, 21u);
  ASSERT_EQ(config.parts.size(), 4u);
  EXPECT_EQ(config.parts[0].lines.back().number, 6u);
  EXPECT_EQ(config.parts[2].lines.front().number, 13u);
  EXPECT_EQ(config.parts[2].last_line[key_of("exclude")], 16u);
}

TEST(ServerSections, ExcludeBelongsToAFileWithSections) {
  const ServersConfig config =
      read_servers("exclude /d\n[server a]\n[server b]\nexclude /b\n[server c]\nexclude \n", "orvek.conf");
  ASSERT_EQ(config.servers.size(), 3u);
  EXPECT_EQ(config.servers[0].exclude_path, "/d");
  EXPECT_EQ(config.servers[1].exclude_path, "/b");
  EXPECT_EQ(config.servers[2].exclude_path, "");  // set empty: no exclude file
  // Several keys on a line: exclude comes last in the order of commit.
  EXPECT_EQ(read_servers("[server a]\nusername exclude x\n", "orvek.conf").servers[0].settings.username, "x");

  // Without sections the word is no key: its line is text, and the text
  // runs on into the lines after it.
  const std::string flat = "exclude /x\nusername u\n";
  const ServersConfig one = read_servers(flat, "orvek.conf");
  ASSERT_EQ(one.servers.size(), 1u);
  EXPECT_EQ(one.servers[0].exclude_path, "");
  EXPECT_EQ(one.servers[0].settings.username, "");
}

// Each part is read on its own: text the defaults leave unended does not
// run on into the first section.
TEST(ServerSections, PartsAreReadApart) {
  const ServersConfig config = read_servers("usernam\n[server a]\nserver http://a\n", "orvek.conf");
  ASSERT_EQ(config.servers.size(), 1u);
  EXPECT_EQ(config.servers[0].settings.status_url, "http://a" + std::string(STATUS_PATH));
  EXPECT_EQ(config.parts[0].lines.at(0).fate, LineFate::NO_KEY);
  EXPECT_EQ(config.parts[1].lines.at(0).carried_from, 0u);
}

// A file without sections: one server, with read_config's settings and its
// very account of every line.
TEST(ServerSections, AFileWithoutSectionsReadsAsEver) {
  for (const std::string text :
       {"", "server http://a\nusername u\npassword p\nmaxage 5m\n", "username a\nusername b", "ser\nver http://x\n",
        "colour red\nserver http://a\n", "digest yes\r\nnewcgi true\r\n",
        "\xEF\xBB\xBF[server a]\nserver http://a\n"}) {
    SCOPED_TRACE(text);
    const ConfigRead read = read_config(text);
    const ServersConfig config = read_servers(text, "orvek.conf");
    EXPECT_FALSE(config.sectioned);
    EXPECT_EQ(config.fault, "");
    ASSERT_EQ(config.servers.size(), 1u);
    const ServerConfig& server = config.servers[0];
    EXPECT_EQ(server.settings, read.settings);
    EXPECT_EQ(server.name, "");
    EXPECT_EQ(server.header_line, 0u);
    EXPECT_EQ(server.first_line, 1u);
    EXPECT_EQ(server.server_given, read.reading.last_line[key_of("server")] != 0);
    ASSERT_EQ(config.parts.size(), 1u);
    const ConfigReading& account = config.parts[0];
    EXPECT_EQ(account.last_line, read.reading.last_line);
    ASSERT_EQ(account.lines.size(), read.reading.lines.size());
    for (std::size_t i = 0; i < account.lines.size(); ++i) {
      const LineReading &got = account.lines[i], &want = read.reading.lines[i];
      EXPECT_EQ(got.number, want.number);
      EXPECT_EQ(got.start, want.start);
      EXPECT_EQ(got.length, want.length);
      EXPECT_EQ(got.fate, want.fate);
      EXPECT_EQ(got.keys, want.keys);
      EXPECT_EQ(got.value, want.value);
      EXPECT_EQ(got.overridden_by, want.overridden_by);
      EXPECT_EQ(got.carried_from, want.carried_from);
    }
  }
}

std::vector<std::pair<std::size_t, std::string>> notes_of(std::string_view text) {
  std::vector<std::pair<std::size_t, std::string>> notes;
  for (const LineNote& note : diagnose_servers(text, read_servers(text, "orvek.conf")).notes)
    notes.emplace_back(note.line, note.why);
  return notes;
}

// -t on a file with sections: a key set in the defaults and again in a
// section, or in two sections, is no mistake, and a header is no unknown
// text; a key given twice in one section still is, and exclude is a key.
TEST(ServerSectionsDiagnosis, TellsEachPartOnItsOwn) {
  const std::string text =
      "username wall\n"
      "[server a]\n"
      "username a\n"
      "username b\n"
      "\n"
      "  [server b]\n"
      "username c\n"
      "exclude /x\n"
      "exclud /y\n"
      "colour red\n";
  const std::vector<std::pair<std::size_t, std::string>> expected = {
      {3, "username is given again on line 4, which counts"},
      {9, "unknown key \"exclud\", probably meant exclude; its text stays in the reader, so no key on the lines after "
          "it is found"},
      {10, "not read: line 9 was not taken, and its text runs on into every line after it, so no key is found from "
           "there on"},
  };
  EXPECT_EQ(notes_of(text), expected);
  EXPECT_EQ(notes_of("[server a]\ncolour red\n").at(0).second,
            "unknown key \"colour\" (the keys are server, username, password, newcgi, digest, verify, cafile, pin, "
            "passwordfile, maxage, exclude, ages, fresh, output, soft, "
            "hostgroup, servicegroup)");
  // Without sections, exactly as ever: exclude is no key.
  for (const std::string flat : {"exclude /x\n", "exclud /x\nusername u\nusername v\n", "username a\nusername b\n"}) {
    const LineNotes ever = diagnose_config(flat), now = diagnose_servers(flat, read_servers(flat, "orvek.conf"));
    ASSERT_EQ(now.notes.size(), ever.notes.size()) << flat;
    for (std::size_t i = 0; i < ever.notes.size(); ++i) {
      EXPECT_EQ(now.notes[i].line, ever.notes[i].line);
      EXPECT_EQ(now.notes[i].text, ever.notes[i].text);
      EXPECT_EQ(now.notes[i].why, ever.notes[i].why);
    }
    EXPECT_EQ(now.key_lines, ever.key_lines);
  }
  EXPECT_EQ(notes_of("exclude /x\n").at(0).second.find("exclude)"), std::string::npos);
}

TEST(ServerSections, LoadsTheChosenFile) {
  const fs::path folder = fs::temp_directory_path() / ("orvek-sections-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const std::string text = "username wall\n[server a]\n[server a]\n";
  std::ofstream(folder / "orvek.conf") << text;
  std::string path, read;
  const std::optional<ServersConfig> config = find_servers_file(nullptr, {folder.string() + "/"}, &path, &read);
  ASSERT_TRUE(config);
  EXPECT_EQ(path, (folder / "orvek.conf").string());
  EXPECT_EQ(read, text);
  EXPECT_EQ(config->fault, path + ":3: a second server named \"a\"");
  EXPECT_FALSE(load_servers((folder / "missing.conf").string()));
  fs::remove_all(folder);
}

}  // namespace
