// The screen of several servers, and of one before its first answer: each
// frame as labels ("row,column pair[b] [text]") and its background.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "config/command_line.h"
#include "frame_view.h"
#include "layout/frame_composition.h"
#include "refresh/refresh_record.h"

namespace {

constexpr std::time_t FETCHED_AT = 1796920046;  // 16:27:26 UTC
constexpr std::time_t WAITING_SINCE = FETCHED_AT - 120;  // 16:25:26

// Runs the tests in UTC, so that clocks read the same everywhere.
class ServersLayout : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* saved = std::getenv("TZ");
    had_zone_ = saved != nullptr;
    if (saved) saved_zone_ = saved;
    setenv("TZ", "UTC0", 1);
    tzset();
  }
  void TearDown() override {
    if (had_zone_) setenv("TZ", saved_zone_.c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }

 private:
  bool had_zone_ = false;
  std::string saved_zone_;
};

ReportItem host(std::string_view name) { return {name, ReportItemKind::HOST, ServiceStatus::WARNING}; }
ReportItem down(std::string_view name) { return {name, ReportItemKind::DOWN_HOST, ServiceStatus::WARNING}; }
ReportItem critical(std::string_view name) { return {name, ReportItemKind::SERVICE, ServiceStatus::CRITICAL}; }
ReportItem warning(std::string_view name) { return {name, ReportItemKind::SERVICE, ServiceStatus::WARNING}; }

Outcome listing(std::vector<ReportItem> items, int unread_rows = 0) {
  Outcome outcome;
  outcome.banner = false;
  outcome.fetched_at = FETCHED_AT;
  for (const ReportItem& item : items)
    outcome.report.alarm = outcome.report.alarm || item.kind == ReportItemKind::DOWN_HOST;
  outcome.report.items = std::move(items);
  outcome.report.unread_rows = unread_rows;
  return outcome;
}

Outcome failing(std::string banner_text, std::string reason, std::time_t fetched_at = FETCHED_AT) {
  Outcome outcome;
  outcome.banner = true;
  outcome.banner_text = std::move(banner_text);
  outcome.reason = std::move(reason);
  outcome.fetched_at = fetched_at;
  outcome.failing_since = FETCHED_AT - 60;  // 16:26:26
  return outcome;
}

// A header's text: a bar across a report column.
std::string bar(std::string text) {
  text.resize(50, ' ');
  return text;
}

const Outcome PROD_PROBLEMS = listing({host("web1"), critical("HTTP")});
const Outcome LAB_DOWN = listing({down("db1")});
const Outcome CALM = listing({});
const Outcome REFUSED = failing("", "connection refused");
const Outcome LOCKED = failing("", "HTTP 401: user or password refused");
const Outcome OLD = failing(" Server data is 12 min old! ", "data 12 min old", FETCHED_AT - 30);
const Outcome DB1_DOWN = listing({down("db1")});
const Outcome DB1_SERVICES = listing({host("db1"), warning("Disk /var")});

struct Case {
  const char* name;
  std::vector<ServerView> servers;
  bool show_clock;  // -u
  bool show_hidden;  // -m
  int rows;
  int columns;
  std::vector<std::string> labels;
  ColourRole background = NORMAL_ROLE;
};

TEST_F(ServersLayout, FramesOfSeveralServers) {
  const std::string PROD = "8b [" + bar(" prod") + "]";
  const std::string LAB = "8b [" + bar(" lab") + "]";
  const Case cases[] = {
      {"two servers with problems: headers in order, each report under its own",
       {{"prod", &PROD_PROBLEMS}, {"lab", &LAB_DOWN}},
       false, false, 10, 100,
       {"0,0 " + PROD, "1,0 1 [ web1 ]", "2,2 3 [ CRITICAL ]", "2,12 0b [ HTTP]", "4,0 " + LAB, "5,0 6 [ db1 ]"},
       ALARM_ROLE},
      {"a header at a column's bottom goes on at the top of the next",
       {{"prod", &PROD_PROBLEMS}, {"lab", &LAB_DOWN}},
       false, false, 4, 100,
       {"0,0 " + PROD, "1,0 1 [ web1 ]", "2,2 3 [ CRITICAL ]", "2,12 0b [ HTTP]", "0,50 " + LAB,
        "1,50 6 [ db1 ]"},
       ALARM_ROLE},
      {"the same host name DOWN on one server and with problems on another: both drawn",
       {{"prod", &DB1_DOWN}, {"lab", &DB1_SERVICES}},
       false, false, 10, 100,
       {"0,0 " + PROD, "1,0 6 [ db1 ]", "3,0 " + LAB, "4,0 1 [ db1 ]", "5,2 2 [ WARNING ]", "5,11 0b [ Disk /var]"},
       ALARM_ROLE},
      {"a calm server and one not yet answered take no room",
       {{"prod", &CALM}, {"new", nullptr}, {"lab", &LAB_DOWN}},
       false, false, 10, 100,
       {"0,0 " + LAB, "1,0 6 [ db1 ]"},
       ALARM_ROLE},
      {"all calm: the black screen",
       {{"prod", &CALM}, {"lab", &CALM}},
       false, false, 10, 100, {}},
      {"a failing server: its header in the banner's words, no rows; the others stay",
       {{"prod", &REFUSED}, {"lab", &OLD}, {"web", &PROD_PROBLEMS}},
       false, false, 10, 100,
       {"0,0 7b [" + bar(" prod: No connection to server! ") + "]",
        "1,0 7b [" + bar(" lab: Server data is 12 min old! ") + "]", "2,0 8b [" + bar(" web") + "]",
        "3,0 1 [ web1 ]", "4,2 3 [ CRITICAL ]", "4,12 0b [ HTTP]"}},
      {"-u: the reason under a failing server's header; the last row names the servers, the latest clock",
       {{"prod", &REFUSED}, {"web", &PROD_PROBLEMS}, {"new", nullptr}},
       true, false, 10, 100,
       {"0,0 7b [" + bar(" prod: No connection to server! ") + "]",
        "1,1 0 [connection refused, since 16:26:26]", "2,0 8b [" + bar(" web") + "]", "3,0 1 [ web1 ]",
        "4,2 3 [ CRITICAL ]", "4,12 0b [ HTTP]", "9,0 7 [ prod ]", "9,6 1 [ web ]", "9,11 5 [ new ]",
        "9,90 0 [ 16:27:26 ]"}},
      {"a failing server's alarm is not shown: its list is gone",
       {{"prod", &CALM}, {"lab", &REFUSED}},
       false, false, 10, 100,
       {"0,0 7b [" + bar(" lab: No connection to server! ") + "]"}},
      {"every server failing in the same words: that banner, one reason a row under it",
       {{"prod", &REFUSED}, {"lab", &LOCKED}},
       true, false, 10, 80,
       {"5,27 7 [ No connection to server! ]", "6,20 0 [prod: connection refused, since 16:26:26]",
        "7,12 0 [lab: HTTP 401: user or password refused, since 16:26:26]", "9,0 7 [ prod ]", "9,6 7 [ lab ]",
        "9,70 0 [ 16:27:26 ]"}},
      {"every server failing, as many reasons as fit above the last row",
       {{"prod", &REFUSED}, {"lab", &LOCKED}},
       true, false, 4, 80,
       {"2,27 7 [ No connection to server! ]", "3,0 7 [ prod ]", "3,6 7 [ lab ]", "3,70 0 [ 16:27:26 ]"}},
      {"every server failing in the same words: that banner",
       {{"prod", &OLD}, {"lab", &OLD}},
       false, false, 10, 80,
       {"5,26 7 [ Server data is 12 min old! ]"}},
      {"-u before any answer: the names white on black, the waiting note and its clock",
       {{"prod", nullptr, WAITING_SINCE}, {"lab", nullptr, WAITING_SINCE + 5}},
       true, false, 10, 80,
       {"9,0 5 [ prod ]", "9,6 5 [ lab ]", "9,40 0 [ waiting for the servers since]", "9,70 0 [ 16:25:26 ]"}},
      {"without -u before any answer: nothing",
       {{"prod", nullptr, WAITING_SINCE}, {"lab", nullptr, WAITING_SINCE}},
       false, true, 10, 80, {}},
      {"servers not answered and calm ones in between leave no gap",
       {{"prod", &PROD_PROBLEMS}, {"lab", nullptr}, {"web", &CALM}, {"db", nullptr}},
       false, false, 6, 80,
       {"0,0 " + PROD, "1,0 1 [ web1 ]", "2,2 3 [ CRITICAL ]", "2,12 0b [ HTTP]"}},
      {"-m: headers beyond the right edge are not counted, a DOWN host is",
       {{"prod", &DB1_DOWN}, {"lab", &LAB_DOWN}},
       false, true, 3, 50,
       {"0,0 " + PROD, "1,0 6 [ db1 ]", "2,39 7b [ +1 hidden ]"},
       ALARM_ROLE},
      {"-u -m: nothing under the names; the group goes on in the next column, under its header",
       {{"prod", &PROD_PROBLEMS}, {"lab", &CALM}},
       true, true, 3, 80,
       {"0,0 " + PROD, "1,0 1 [ web1 ]", "0,50 " + PROD, "1,52 3 [ CRITICAL ]", "1,62 0b [ HTTP]",
        "2,0 1 [ prod ]", "2,6 1 [ lab ]", "2,70 0 [ 16:27:26 ]"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Options options;
    options.show_clock = c.show_clock;
    options.show_hidden = c.show_hidden;
    Frame frame(c.rows, c.columns);
    compose_frame(c.servers, options, frame);
    EXPECT_EQ(describe(frame), c.labels);
    EXPECT_EQ(frame.background, c.background);
  }
}

TEST_F(ServersLayout, UnreadRowsOfEveryListShownAreAddedUp) {
  const Outcome prod = listing({}, 2);
  const Outcome lab = listing({host("web1"), warning("HTTP")}, 3);
  Outcome refused = failing("", "connection refused");
  refused.report.unread_rows = 7;  // of a list that is no longer shown
  const std::vector<ServerView> servers = {{"prod", &prod}, {"lab", &lab}, {"old", &refused}};
  Frame frame(8, 80);
  compose_frame(servers, Options{}, frame);
  // The failing server first.
  const std::vector<std::string> expected = {
      "0,0 7b [" + bar(" old: No connection to server! ") + "]", "1,0 8b [" + bar(" prod") + "]",
      "2,0 8b [" + bar(" lab") + "]", "3,0 1 [ web1 ]", "4,2 2 [ WARNING ]", "4,11 0b [ HTTP]",
      "7,70 7b [ 5 unread ]"};
  EXPECT_EQ(describe(frame), expected);
}

TEST_F(ServersLayout, OneServerBeforeItsFirstAnswer) {
  const ServerView waiting{{}, nullptr, WAITING_SINCE};
  struct OneCase {
    const char* name;
    bool show_clock;
    bool show_hidden;
    std::vector<std::string> labels;
  };
  const OneCase cases[] = {
      {"-u: the clock tells since when it waits", true, false,
       {"23,41 0 [ waiting for the server since]", "23,70 0 [ 16:25:26 ]"}},
      {"without -u: the black screen", false, true, {}},
  };
  for (const OneCase& c : cases) {
    SCOPED_TRACE(c.name);
    Options options;
    options.show_clock = c.show_clock;
    options.show_hidden = c.show_hidden;
    Frame frame(24, 80);
    compose_frame(std::span(&waiting, 1), options, frame);
    EXPECT_EQ(describe(frame), c.labels);
  }
}

// Names decoded from character references live beside their page; the frame
// keeps every server's, not only the last one laid out.
TEST_F(ServersLayout, KeepsTheDecodedNamesOfEveryServer) {
  auto prod_names = std::make_shared<const std::string>("web&1");
  auto lab_names = std::make_shared<const std::string>("db<2");
  Outcome prod = listing({down(*prod_names)});
  Outcome lab = listing({down(*lab_names)});
  prod.report.decoded_names = prod_names;
  lab.report.decoded_names = lab_names;
  const std::vector<ServerView> servers = {{"prod", &prod}, {"lab", &lab}};
  Frame frame(10, 80);
  compose_frame(servers, Options{}, frame);
  prod.report.decoded_names.reset();
  lab.report.decoded_names.reset();
  const std::weak_ptr<const std::string> prod_kept = prod_names, lab_kept = lab_names;
  prod_names.reset();
  lab_names.reset();
  EXPECT_FALSE(prod_kept.expired());
  EXPECT_FALSE(lab_kept.expired());
}

// One server keeps its frame whatever its name: a file with one section
// shows it as a file without sections does.
TEST_F(ServersLayout, OneServerIsShownWithoutHeaderWhateverItsName) {
  Options options;
  options.show_clock = true;
  for (const Outcome* shown : {&PROD_PROBLEMS, &REFUSED}) {
    const ServerView unnamed{{}, shown};
    const ServerView named{"prod", shown};
    Frame without_name(24, 80), with_name(24, 80);
    compose_frame(std::span(&unnamed, 1), options, without_name);
    compose_frame(std::span(&named, 1), options, with_name);
    EXPECT_EQ(describe(with_name), describe(without_name));
    for (const Label& label : with_name.labels) EXPECT_NE(label.role, SERVER_ROLE);
  }
}

// A name too long for the column is cut at the column's end, not at the
// screen's.
TEST_F(ServersLayout, HeaderEndsWithItsColumn) {
  const std::string long_name(32, 'n');
  const Outcome failing_long = failing(" Server data is 12 min old! ", "old");
  const std::vector<ServerView> servers = {{long_name, &failing_long}, {"lab", &PROD_PROBLEMS}};
  Frame frame(10, 120);
  compose_frame(servers, Options{}, frame);
  ASSERT_FALSE(frame.labels.empty());
  const std::vector<std::vector<Cell>> cells = paint_cells(frame);
  // " nnn…n: Server data is| 12 min old! "
  EXPECT_EQ(cells[0][48].character, 's');
  EXPECT_EQ(cells[0][49].pair, colour_pair(BANNER_ROLE));
  EXPECT_TRUE(cells[0][49].bold);
  EXPECT_EQ(cells[0][50].character, ' ');
  EXPECT_EQ(cells[0][50].pair, 0);
}

}  // namespace
