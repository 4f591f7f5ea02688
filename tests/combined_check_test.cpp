// orvek -t with several servers told as one check: the worst status, the
// first line's count and summaries, the named performance data, the blocks.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <unistd.h>
#include <vector>

#include "check/combined_check.h"
#include "check/section_check.h"
#include "config/server_sections.h"
#include "refresh/program.h"

namespace {

CheckReport report(int status, const std::string& summary, const std::string& perfdata = {},
                   const std::string& lines = {}) {
  CheckReport made;
  made.status = status;
  made.text = plugin_line(status, summary) + lines;
  made.perfdata = perfdata;
  return made;
}

// A report not OK, with the cause its check gave.
CheckReport failing(int status, const std::string& summary, const std::string& cause,
                    const std::string& perfdata = {}) {
  CheckReport made = report(status, summary, perfdata);
  made.cause = cause;
  return made;
}

std::string first_line(const std::string& output) { return output.substr(0, output.find('\n')); }

}  // namespace

TEST(CombinedCheck, TheWorstStatusWins) {
  // (statuses of the servers, the combined status)
  const std::vector<std::pair<std::vector<int>, int>> cases = {
      {{CHECK_OK}, CHECK_OK},
      {{CHECK_OK, CHECK_OK, CHECK_OK}, CHECK_OK},
      {{CHECK_OK, CHECK_NOTED}, CHECK_NOTED},
      {{CHECK_NOTED, CHECK_UNFINISHED}, CHECK_UNFINISHED},
      {{CHECK_UNFINISHED, CHECK_NOTED, CHECK_OK}, CHECK_UNFINISHED},
      {{CHECK_UNFINISHED, CHECK_BANNER}, CHECK_BANNER},
      {{CHECK_BANNER, CHECK_UNFINISHED, CHECK_NOTED}, CHECK_BANNER},
      {{CHECK_OK, CHECK_BANNER, CHECK_OK}, CHECK_BANNER},
  };
  for (const auto& [statuses, worst] : cases) {
    std::vector<NamedCheck> checks;
    for (std::size_t i = 0; i < statuses.size(); ++i) checks.push_back({"s", report(statuses[i], "x")});
    EXPECT_EQ(combine_checks(checks).status, worst) << ::testing::PrintToString(statuses);
  }
}

TEST(CombinedCheck, FirstLineCountsAndNamesTheServersNotOkWorstFirst) {
  const std::vector<NamedCheck> checks = {
      {"prod", report(CHECK_OK, "the monitor would draw this page as its report", "time=0.030s size=1325B problems=5")},
      {"old", failing(CHECK_NOTED, "the monitor draws the report, but line 3 x", "line 3 x",
                      "time=0.001s size=9B problems=0")},
      {"lab", failing(CHECK_BANNER, "the monitor would show the banner \"No connection to server!\": HTTP status 401",
                      "HTTP status 401", "time=0.002s size=0B")},
      {"gone", failing(CHECK_UNFINISHED, "the check could not finish", "the check could not finish")},
  };
  const CheckReport combined = combine_checks(checks);
  EXPECT_EQ(combined.status, CHECK_BANNER);
  EXPECT_EQ(first_line(combined.text),
            "ORVEK CRITICAL - lab: HTTP status 401, gone: the check could not finish, old: line 3 x; 1 of 4 servers OK");
  // The data of one server fits after the summary, the rest goes to the
  // end, in order.
  EXPECT_EQ(combined.perfdata, "'prod::time'=0.030s 'prod::size'=1325B 'prod::problems'=5");
  EXPECT_EQ(combined.more_perfdata, "'old::time'=0.001s 'old::size'=9B 'old::problems'=0 'lab::time'=0.002s 'lab::size'=0B");
  const std::string first = check_output(combined).substr(0, check_output(combined).find('\n'));
  EXPECT_LE(first.size(), FIRST_LINE_LIMIT);
  EXPECT_EQ(first, first_line(combined.text) + " | " + combined.perfdata);

  // A short summary leaves the rest of the line to the data.
  const std::vector<NamedCheck> fine = {{"a", report(CHECK_OK, "ok", "time=0.1s")}, {"b", report(CHECK_OK, "ok")},
                                        {"c", report(CHECK_OK, "ok", std::string(120, 'x') + "=1")}};
  EXPECT_EQ(first_line(combine_checks(fine).text), "ORVEK OK - 3 of 3 servers OK");
  EXPECT_EQ(combine_checks(fine).perfdata, "'a::time'=0.1s '" + std::string("c::") + std::string(120, 'x') + "'=1");
}

TEST(CombinedCheck, EachServerHasItsBlockUnderItsName) {
  const std::vector<NamedCheck> checks = {{"prod", report(CHECK_OK, "fine", "time=1s", "URL: http://p/\n")},
                                          {"lab", report(CHECK_BANNER, "down", "", "URL: http://l/\n")}};
  EXPECT_EQ(combine_checks(checks).text,
            "ORVEK CRITICAL - lab: down; 1 of 2 servers OK\n"
            "server prod:\nORVEK OK - fine\nURL: http://p/\n"
            "server lab:\nORVEK CRITICAL - down\nURL: http://l/\n");
}

TEST(CombinedCheck, PerformanceLabelsCarryTheServerName) {
  // (name, performance data, named)
  const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
      {"prod", "time=0.012s size=5120B problems=3", "'prod::time'=0.012s 'prod::size'=5120B 'prod::problems'=3"},
      {"lab", "time=0.012s size=0B", "'lab::time'=0.012s 'lab::size'=0B"},
      {"east coast", "time=1.000s", "'east coast::time'=1.000s"},
      {"bob's", "size=1B", "'bob''s::size'=1B"},
      {"a=b|c", "size=1B", "'a_b_c::size'=1B"},
      {"x", "", ""},
  };
  for (const auto& [name, perfdata, named] : cases) EXPECT_EQ(named_perfdata(name, perfdata), named) << name;
}

TEST(CombinedCheck, TheFirstLineStaysWithinItsLimitAndItsPerformanceDataWhole) {
  std::vector<NamedCheck> checks;
  const std::vector<std::string> names = {"production-east", "production-west", "lab", "staging", "old-monitor"};
  for (const std::string& name : names)
    checks.push_back({name, report(CHECK_BANNER, std::string(80, 'w'), "time=0.030s size=1325B problems=5")});
  const CheckReport combined = combine_checks(checks);
  const std::string output = check_output(combined);
  const std::string first = first_line(output);
  EXPECT_LE(first.size(), FIRST_LINE_LIMIT);
  // The causes are cut to one length, and every server is named.
  const std::string cut = ": " + std::string(16, 'w') + "..., ";
  EXPECT_EQ(first, "ORVEK CRITICAL - production-east" + cut + "production-west" + cut + "lab" + cut + "staging" + cut +
                       "old-monitor: " + std::string(16, 'w') + "...; 0 of 5 servers OK");
  // Every server's data is written whole, in the first line or after the
  // one '|' of the last line.
  ASSERT_FALSE(combined.more_perfdata.empty());
  EXPECT_TRUE(output.ends_with("\n| " + combined.more_perfdata + "\n"));
  EXPECT_EQ(combined.perfdata + (combined.perfdata.empty() ? "" : " ") + combined.more_perfdata, [&] {
    std::string all;
    for (const std::string& name : names)
      all.append(all.empty() ? "" : " ").append(named_perfdata(name, "time=0.030s size=1325B problems=5"));
    return all;
  }());
  EXPECT_TRUE(combined.perfdata.empty() || first.ends_with(" | " + combined.perfdata)) << first;
}

// The first line leads with each failing server's cause, every failing
// server named: the causes cut to one length before any is dropped, the
// last ones dropped before any name, the last names told as "+N more";
// never a ";" inside a server's part.
TEST(CombinedCheck, TheFirstLineTellsEachFailingServersCause) {
  const std::string refused = "connection refused", unauthorized = "HTTP status 401 (Unauthorized)";
  const std::string long_cause = "the monitor draws the report, but the section exclude file /etc/orvek/lab.exclude "
                                 "(line 16): line 3 is empty, which hides every service";
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, CheckReport>> servers;
    std::string summary;  // the first line after "ORVEK WORD - "
  };
  const auto ok = [] { return report(CHECK_OK, "the monitor would draw this page as its report", "time=0.1s"); };
  const auto banner = [](const std::string& cause) {
    return failing(CHECK_BANNER, "the monitor would show the banner: " + cause, cause, "time=0.1s size=0B");
  };
  std::vector<std::pair<std::string, CheckReport>> nine, twelve;
  for (int i = 1; i <= 9; ++i) nine.emplace_back("s" + std::to_string(i), banner("no connection within 10 s (after 10.00 s)"));
  for (int i = 0; i < 12; ++i) twelve.emplace_back("server-number-" + std::to_string(i), banner(refused));
  std::string seven;
  for (int i = 1; i <= 7; ++i) seven += "s" + std::to_string(i) + ": no connection..., ";
  const Case cases[] = {
      {"two failing of three",
       {{"prod", ok()}, {"gone", banner(refused)}, {"locked", banner(unauthorized)}},
       "gone: connection refused, locked: HTTP status 401 (Unauthorized); 1 of 3 servers OK"},
      {"three failing, the worst first",
       {{"old", failing(CHECK_NOTED, "the monitor draws the report, but x", "line 3; not taken")},
        {"gone", banner(refused)},
        {"odd", failing(CHECK_UNFINISHED, "the check could not finish: x", "the check could not finish: x")},
        {"locked", banner(unauthorized)}},
       "gone: connection refused, locked: HTTP status 401 (Unauthorized), odd: the check could not finish: x, "
       "old: line 3, not taken; 0 of 4 servers OK"},
      {"a long cause cut, the short ones whole",
       {{"lab", failing(CHECK_NOTED, "x", long_cause)}, {"gone", banner(refused)}, {"lost", banner(refused + "|x")}},
       "gone: connection refused, lost: connection refused\xC2\xA6x, lab: the monitor draws the report, but the "
       "section exclude file /etc/orvek/lab.exclude (line 16): line 3 i...; 0 of 3 servers OK"},
      {"no cause given: the summary",
       {{"a", report(CHECK_UNFINISHED, "no server named \"x\"")}},
       "a: no server named \"x\"; 0 of 1 servers OK"},
      {"nine failing: the causes cut, then the last ones dropped", nine, seven + "s8, s9; 0 of 9 servers OK"},
      {"twelve long names: the last ones counted", twelve,
       "server-number-0, server-number-1, server-number-2, server-number-3, server-number-4, server-number-5, "
       "server-number-6, server-number-7, server-number-8, +3 more; 0 of 12 servers OK"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<NamedCheck> checks;
    for (const auto& [name, made] : c.servers) checks.push_back({name, made});
    const CheckReport combined = combine_checks(checks);
    const std::string first = first_line(combined.text);
    EXPECT_EQ(first.substr(first.find(" - ") + 3), c.summary);
    EXPECT_LE(first_line(check_output(combined)).size(), FIRST_LINE_LIMIT);
    EXPECT_EQ(first_line(check_output(combined)).substr(0, first.size()), first);  // never cut
  }
}

// Each server's block names the lines that set its values, its section's
// and the defaults', never a value: a default written after the last
// section shows as that section's own, and nowhere else.
TEST(SectionCheck, EachBlockNamesTheLinesThatSetItsValues) {
  const std::string text =
      "username wall\n"      // 1
      "password s3cret-x\n"  // 2
      "[server prod]\n"      // 3
      "server http://p\n"
      "username prod\n"      // 5
      "[server lab]\n"       // 6
      "server http://l\n"
      "\n"
      "# meant for every server\n"
      "digest yes\n";        // 10
  const ServersConfig servers = read_servers(text, "orvek.conf");
  ASSERT_EQ(servers.servers.size(), 2u);
  const auto shown = [](const std::vector<CheckLine>& lines) {
    std::string all;
    for (const CheckLine& line : lines) all += line.key + ": " + line.value + "\n";
    return all;
  };
  EXPECT_EQ(shown(section_value_lines(servers, 0)),
            "section: prod, lines 3 to 5\n"
            "set in the section: server (line 4), username (line 5)\n"
            "set in the defaults: password (line 2)\n");
  EXPECT_EQ(shown(section_value_lines(servers, 1)),
            "section: lab, lines 6 to 10\n"
            "set in the section: server (line 7), digest (line 10)\n"
            "set in the defaults: username (line 1), password (line 2)\n");
  const ServersConfig bare = read_servers("[server a]\n", "orvek.conf");
  EXPECT_EQ(shown(section_value_lines(bare, 0)),
            "section: a, lines 1 to 1\nset in the section: none\nset in the defaults: none\n");
}

// A section's exclude file, read again for its block: where it is named,
// its entries, and what keeps it from serving, for a note.
TEST(SectionCheck, TellsASectionsExcludeFile) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("orvek-section-check-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::string good = (folder / "good").string(), holed = (folder / "holed").string();
  std::ofstream(good) << "db1\nweb\n";
  std::ofstream(holed) << "db1\n\n";
  const std::string text = "exclude " + good + "\n[server a]\n[server b]\nexclude " + holed +
                           "\n[server c]\nexclude " + (folder / "none").string() + "\n[server d]\nexclude \n";
  const ServersConfig servers = read_servers(text, "orvek.conf");
  ASSERT_EQ(servers.servers.size(), 4u);
  const SetUpNotes everyones;
  const SectionSetUp a = *section_set_up(everyones, text, servers, 0).section;
  EXPECT_EQ(a.exclude_path, good);
  EXPECT_EQ(a.exclude_where, "named on line 1, in the defaults");
  EXPECT_EQ(a.exclude_entries, 2u);
  EXPECT_EQ(a.exclude_fault, "");
  EXPECT_EQ(a.exclude_unread, "");
  const SectionSetUp b = *section_set_up(everyones, text, servers, 1).section;
  EXPECT_EQ(b.exclude_where, "named on line 4");
  EXPECT_EQ(b.exclude_entries, 2u);
  EXPECT_EQ(b.exclude_fault, "line 2 is empty, which hides every service");
  ASSERT_EQ(b.excludes.notes.size(), 1u);
  EXPECT_EQ(b.excludes.notes[0].line, 2u);
  const SectionSetUp c = *section_set_up(everyones, text, servers, 2).section;
  EXPECT_EQ(c.exclude_unread, "No such file or directory");
  EXPECT_EQ(c.exclude_entries, 0u);
  // Set empty: none, whatever the defaults name.
  EXPECT_EQ(section_set_up(everyones, text, servers, 3).section->exclude_path, "");
  std::filesystem::remove_all(folder);
}
