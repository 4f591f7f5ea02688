// What the JSON status adds to the list's problems: the answers read, each
// problem matched by its exact names, soft hide, and the row's end.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/age_text.h"
#include "config/config_file.h"
#include "fetch/status_details.h"
#include "frame_view.h"
#include "layout/report_layout.h"
#include "refresh/detail_matching.h"

namespace {

TEST(AgeText, EveryUnitBoundary) {
  constexpr std::int64_t M = 60, H = 3600, D = 86400, W = 7 * D;
  const std::vector<std::pair<std::int64_t, std::string>> cases = {
      {-1, "?"},         {0, "0s"},          {59, "59s"},       {M, "1m"},           {H - 1, "59m"},
      {H, "1h"},         {48 * H - 1, "47h"}, {48 * H, "2d"},   {14 * D - 1, "13d"}, {14 * D, "2w"},
      {999 * W, "999w"}, {5000 * W, "999w"},
  };
  for (const auto& [seconds, text] : cases) EXPECT_EQ(age_text(seconds), text) << seconds;
}

// A hostlist or servicelist answer as the CGI writes it, entries by hand so
// that keys may repeat.
std::string answer(std::string_view list, std::string_view entries, std::string_view result_extra = "") {
  return std::string(R"j({"format_version":0,"result":{"query_time":1000000000,"type_code":0)j") +
         std::string(result_extra) + R"j(},"data":{"selectors":{},")j" + std::string(list) + "\":{" +
         std::string(entries) + "}}}";
}

std::string entry(std::int64_t age_s, int state_type, std::string_view output) {
  return R"j({"plugin_output":")j" + std::string(output) + R"j(","last_state_change":)j" +
         std::to_string(1000000000 - age_s * 1000) + R"j(,"state_type":)j" + std::to_string(state_type) +
         R"j(,"current_attempt":2,"max_attempts":3})j";
}

TEST(JsonList, AnswersThatGiveNothing) {
  const std::string whole = answer("hostlist", "\"db1\":" + entry(5, 1, "down"));
  EXPECT_TRUE(read_json_list(whole, false).ok());
  EXPECT_EQ(read_json_list(whole, false).entries.size(), 1u);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {whole.substr(0, whole.size() / 2), "the answer is no JSON"},
      {"<html>Login</html>", "the answer is no JSON (an HTML page)"},
      {R"j({"result":{"type_code":6,"type_text":"Option Value Invalid","message":"The hostgroup 'x' could not be found."},"data":{}})j",
       "JSON status: The hostgroup 'x' could not be found."},
      {answer("servicelist", ""), "the answer holds no data.hostlist"},
      {R"j({"data":{"hostlist":{}}})j", "the answer has no \"result\" object"},
  };
  for (const auto& [text, problem] : cases) {
    const JsonList list = read_json_list(text, false);
    EXPECT_EQ(list.problem, problem) << text;
    EXPECT_TRUE(list.entries.empty());
  }
}

TEST(JsonList, OutputKeepsItsFirstLineOnWholeCharacters) {
  std::string long_line(OUTPUT_KEPT - 1, 'x');
  long_line += "\\u00e9tail";  // é straddles the bound
  const JsonList list =
      read_json_list(answer("hostlist", R"j("a":)j" + entry(1, 1, "one\\ntwo") + R"j(,"b":)j" + entry(1, 1, long_line)), false);
  ASSERT_EQ(list.entries.size(), 2u);
  EXPECT_EQ(list.entries[0].output, "one");
  EXPECT_EQ(list.entries[1].output, std::string(OUTPUT_KEPT - 1, 'x'));
}

TEST(JsonList, ReceivedWithoutBlanksBetweenTokensWhateverTheChunks) {
  // Blanks inside strings stay, an escaped quote does not end its string,
  // and a chunk may end anywhere: after a backslash, inside a string.
  const std::string sent = "{\n  \"result\" : {\"query_time\": 1000000000, \"type_code\": 0},\n  \"data\": {"
                           "\"hostlist\": {\"db 1\": {\"plugin_output\": \"a \\\" b\\\\\", \"status\": 4}}}\n}\n";
  for (std::size_t chunk = 1; chunk <= sent.size(); ++chunk) {
    JsonReceiver receiver;
    for (std::size_t at = 0; at < sent.size(); at += chunk)
      ASSERT_TRUE(receive_json(receiver, std::string_view(sent).substr(at, chunk)));
    EXPECT_EQ(receiver.text,
              "{\"result\":{\"query_time\":1000000000,\"type_code\":0},\"data\":{\"hostlist\":{\"db 1\":{"
              "\"plugin_output\":\"a \\\" b\\\\\",\"status\":4}}}}")
        << chunk;
    EXPECT_EQ(receiver.received, sent.size());
    const JsonList list = read_json_body(receiver.text, false);
    ASSERT_EQ(list.entries.size(), 1u) << list.problem;
    EXPECT_EQ(list.entries[0].host, "db 1");
    EXPECT_EQ(list.entries[0].output, "a \" b\\");
  }
}

constexpr ServiceStatus CRIT = ServiceStatus::CRITICAL;

Report report_of(std::vector<ReportItem> items) {
  Report report;
  report.items = std::move(items);
  for (const ReportItem& item : report.items) report.alarm = report.alarm || item.kind == ReportItemKind::DOWN_HOST;
  return report;
}

StatusDetails details_of(std::string_view hosts, std::string_view services) {
  return {read_json_list(answer("hostlist", hosts), false), read_json_list(answer("servicelist", services), true), std::nullopt};
}

Settings with(bool ages, bool soft_hide) {
  Settings settings;
  settings.ages = ages;
  settings.soft_hide = soft_hide;
  return settings;
}

TEST(DetailMatching, ExactNamesOnlyAndNeverANullEntry) {
  // web1 and WEB1 are two hosts; the CGI wrote "(null)" for wéb2 and for
  // its services, twice: nothing of those is taken, the list still draws
  // them.
  const StatusDetails details = details_of(
      R"j("db1":)j" + entry(30, 1, "db down") + R"j(,"(null)":)j" + entry(40, 1, "x") + R"j(,"(null)":)j" + entry(50, 1, "y"),
      R"j("web1":{"Load":)j" + entry(10, 1, "load high") + R"j(},"(null)":{"HTTP":)j" + entry(20, 1, "z") +
          R"j(},"(null)":{"HTTP":)j" + entry(21, 1, "z") + "}");
  Report report = report_of({{"db1", ReportItemKind::DOWN_HOST, CRIT},
                             {"gäte", ReportItemKind::DOWN_HOST, CRIT},
                             {"(null)", ReportItemKind::DOWN_HOST, CRIT},
                             {"web1", ReportItemKind::HOST, CRIT},
                             {"Load", ReportItemKind::SERVICE, CRIT},
                             {"load", ReportItemKind::SERVICE, CRIT},
                             {"WEB1", ReportItemKind::HOST, CRIT},
                             {"Load", ReportItemKind::SERVICE, CRIT},
                             {"wéb2", ReportItemKind::HOST, CRIT},
                             {"HTTP", ReportItemKind::SERVICE, CRIT}});
  const std::vector<DetailedProblem> told = add_details(report, details, with(true, false), false);
  struct Case {
    std::string name;
    bool matched;
    std::int64_t age;
    std::string output;
  };
  const std::vector<Case> expected = {{"db1", true, 30, "db down"}, {"gäte", false, -1, ""},
                                      {"(null)", false, -1, ""},     {"web1/Load", true, 10, "load high"},
                                      {"web1/load", false, -1, ""},  {"WEB1/Load", false, -1, ""},
                                      {"wéb2/HTTP", false, -1, ""}};
  ASSERT_EQ(told.size(), expected.size());
  for (std::size_t i = 0; i < told.size(); ++i) {
    EXPECT_EQ(told[i].name, expected[i].name);
    EXPECT_EQ(told[i].matched, expected[i].matched) << told[i].name;
    EXPECT_EQ(told[i].detail.age_seconds, expected[i].age) << told[i].name;
    EXPECT_EQ(told[i].detail.output, expected[i].output) << told[i].name;
  }
  EXPECT_EQ(report.items.size(), 10u);  // the list decides what is drawn
  ASSERT_EQ(report.details.items.size(), report.items.size());
  EXPECT_EQ(report.details.items[4].age_seconds, 10);
  EXPECT_EQ(report.details.items[9].age_seconds, -1);
}

TEST(DetailMatching, TwoEntriesOfOneNameGiveNeither) {
  const StatusDetails details = details_of(R"j("db1":)j" + entry(30, 1, "a") + R"j(,"db1":)j" + entry(40, 1, "b"), "");
  Report report = report_of({{"db1", ReportItemKind::DOWN_HOST, CRIT}});
  const std::vector<DetailedProblem> told = add_details(report, details, with(true, false), false);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_FALSE(told[0].matched);
  EXPECT_EQ(told[0].why, "two entries of the JSON status carry that name");
}

TEST(DetailMatching, SoftHide) {
  const StatusDetails details =
      details_of(R"j("db1":)j" + entry(30, 0, "soft down") + R"j(,"gw":)j" + entry(30, 1, "hard"),
                 R"j("web1":{"Load":)j" + entry(10, 0, "soft") + R"j(,"Disk":)j" + entry(10, 1, "hard") +
                     R"j(},"mail":{"SMTP":)j" + entry(10, 0, "soft") + "}");
  const std::vector<ReportItem> items = {{"db1", ReportItemKind::DOWN_HOST, CRIT},
                                         {"web1", ReportItemKind::HOST, CRIT},
                                         {"Load", ReportItemKind::SERVICE, CRIT},
                                         {"Disk", ReportItemKind::SERVICE, CRIT},
                                         {"mail", ReportItemKind::HOST, CRIT},
                                         {"SMTP", ReportItemKind::SERVICE, CRIT}};
  struct Case {
    const char* what;
    bool soft_hide;
    bool unread_alarm;
    std::vector<std::string_view> shown;
    bool alarm;
  };
  const std::vector<Case> cases = {
      // The SOFT DOWN host goes, and with it the red; a host left heading
      // no service goes too.
      {"soft hide", true, false, {"web1", "Disk"}, false},
      {"an unread row that may be DOWN keeps the red", true, true, {"web1", "Disk"}, true},
      {"without soft hide", false, false, {"db1", "web1", "Load", "Disk", "mail", "SMTP"}, true},
  };
  for (const Case& c : cases) {
    Report report = report_of(items);
    const std::vector<DetailedProblem> told = add_details(report, details, with(false, c.soft_hide), c.unread_alarm);
    std::vector<std::string_view> shown;
    for (const ReportItem& item : report.items) shown.push_back(item.name);
    EXPECT_EQ(shown, c.shown) << c.what;
    EXPECT_EQ(report.alarm, c.alarm) << c.what;
    EXPECT_EQ(report.details.items.size(), report.items.size()) << c.what;
    ASSERT_EQ(told.size(), 4u);
    EXPECT_TRUE(told[0].soft);
    EXPECT_EQ(told[0].hidden, c.soft_hide);
    EXPECT_EQ(told[0].detail.attempt, 2);
  }
  // An answer that failed hides nothing: whether a problem is SOFT is unknown.
  Report report = report_of(items);
  StatusDetails failed = details;
  failed.services.problem = "the answer is no JSON";
  add_details(report, failed, with(false, true), false);
  EXPECT_EQ(report.items.size(), items.size());
  EXPECT_TRUE(report.alarm);
}

Settings grouped(std::string hostgroup, std::string servicegroup) {
  Settings settings;
  settings.hostgroup = std::move(hostgroup);
  settings.servicegroup = std::move(servicegroup);
  return settings;
}

std::string status_entry(int status) { return R"j({"status":)j" + std::to_string(status) + "}"; }

TEST(DetailMatching, GroupRules) {
  // The list: two DOWN hosts, services of three hosts, one host named
  // outside ASCII (the CGI writes it "(null)").
  const std::vector<ReportItem> items = {{"db1", ReportItemKind::DOWN_HOST, CRIT},
                                         {"gw9", ReportItemKind::DOWN_HOST, CRIT},
                                         {"ünï", ReportItemKind::DOWN_HOST, CRIT},
                                         {"web1", ReportItemKind::HOST, CRIT},
                                         {"Load", ReportItemKind::SERVICE, CRIT},
                                         {"Disk", ReportItemKind::SERVICE, ServiceStatus::WARNING},
                                         {"mail", ReportItemKind::HOST, CRIT},
                                         {"SMTP", ReportItemKind::SERVICE, CRIT},
                                         {"wéb2", ReportItemKind::HOST, CRIT},
                                         {"HTTP", ReportItemKind::SERVICE, CRIT}};
  struct Case {
    const char* what;
    Settings settings;
    std::string hosts, services;
    std::optional<std::string> members;
    std::vector<std::string_view> shown;
  };
  const std::vector<Case> cases = {
      {"a host group: its DOWN host and its services",
       grouped("web", ""),
       R"j("db1":)j" + status_entry(4),
       R"j("web1":{"Load":)j" + status_entry(16) + "}",
       std::nullopt,
       {"db1", "web1", "Load"}},
      {"a (null) entry of the same status may be the host outside ASCII: drawn, never hidden on a guess",
       grouped("web", ""),
       R"j("(null)":)j" + status_entry(4),
       R"j("(null)":{"HTTP":)j" + status_entry(16) + "}",
       std::nullopt,
       {"ünï", "wéb2", "HTTP"}},
      {"a (null) entry of another status is no such host",
       grouped("web", ""),
       R"j("(null)":)j" + status_entry(8),
       R"j("(null)":{"HTTP":)j" + status_entry(4) + "}",
       std::nullopt,
       {}},
      {"a service group: its services, and a DOWN host with one of them",
       grouped("", "dbteam"),
       R"j("db1":)j" + status_entry(4) + R"j(,"gw9":)j" + status_entry(4),
       R"j("mail":{"SMTP":)j" + status_entry(16) + "}",
       R"j("db1":{"MySQL":2},"mail":{"SMTP":16})j",
       {"db1", "mail", "SMTP"}},
      {"both: a service of a host in the host group that is in the service group",
       grouped("web", "webchecks"),
       R"j("db1":)j" + status_entry(4),
       R"j("web1":{"Disk":)j" + status_entry(4) + "}",
       R"j("web1":{"Disk":4})j",
       {"web1", "Disk"}},
  };
  for (const Case& c : cases) {
    Report report = report_of(items);
    StatusDetails details = details_of(c.hosts, c.services);
    if (c.members)
      details.members = read_json_list(answer("servicelist", *c.members), ListKind::MEMBERS);
    ASSERT_TRUE(details.ok()) << c.what;
    add_details(report, details, c.settings, false);
    std::vector<std::string_view> shown;
    for (const ReportItem& item : report.items) shown.push_back(item.name);
    EXPECT_EQ(shown, c.shown) << c.what;
    bool down = false;
    for (const ReportItem& item : report.items) down = down || item.kind == ReportItemKind::DOWN_HOST;
    EXPECT_EQ(report.alarm, down) << c.what;
  }
}

TEST(DetailsLayout, AgeAtTheColumnsEndOutputAfterTheName) {
  Report report = report_of({{"db1", ReportItemKind::DOWN_HOST, CRIT},
                             {"web1", ReportItemKind::HOST, CRIT},
                             {"Load", ReportItemKind::SERVICE, CRIT},
                             {"A-very-long-service-name-that-meets-the-age", ReportItemKind::SERVICE, CRIT}});
  report.details.ages = true;
  report.details.output = true;
  report.details.fresh_seconds = 60;
  report.details.items = {{3 * 3600, 0, 0, "host down"}, {}, {59, 0, 0, "load 9"}, {60, 1, 3, ""}};
  Frame frame(24, 80);
  lay_out_report(report, frame);
  EXPECT_EQ(describe(frame), (std::vector<std::string>{
                                 "0,0 6 [ db1 ]",
                                 "0,7 0 [host down]",
                                 "0,48 6 [3h]",
                                 "2,0 1 [ web1 ]",
                                 "3,2 3 [ CRITICAL ]",
                                 "3,12 0b [ Load]",
                                 "3,19 0 [load 9]",
                                 "3,47 9 [59s]",
                                 "4,2 3 [ CRITICAL ]",
                                 "4,12 0b [ A-very-long-service-name-that-meets-the-age]",
                                 "4,44 0 [1/3 1m]",
                             }));
  // The name is cut to leave one blank before the age; the output has no
  // room left.
  EXPECT_EQ(frame.labels[9].end_column, 43);
  EXPECT_EQ(frame.labels[0].end_column, 47);
}

}  // namespace
