// The screen of several servers, and of one before its first answer: each
// frame as labels ("row,column pair[b] [text]") and its background.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "config/command_line.h"
#include "frame_view.h"
#include "layout/cell_width.h"
#include "layout/frame_composition.h"
#include "layout/server_header.h"
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

// Each case's frame, label by label, and its background.
void expect_frames(std::span<const Case> cases) {
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
  expect_frames(cases);
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

const Outcome FULL_COLUMN = listing({host("web1"), critical("HTTP"), critical("SSH")});
const Outcome LONG_GROUP = listing({host("web1"), critical("HTTP"), critical("SSH"), warning("Disk"), warning("Load")});
const Outcome DB1_DOWN_UNREAD = listing({down("db1")}, 2);
const Outcome TWO_DOWN = listing({down("db1"), down("db2")});

// The last row's notes and the report's columns: with several servers
// nothing is laid out under the notes, and a header never ends a column.
TEST_F(ServersLayout, ColumnsEndAboveTheNotesAndHeadersOpenColumns) {
  const std::string PROD = "8b [" + bar(" prod") + "]";
  const std::string LAB = "8b [" + bar(" lab") + "]";
  // prod fills its column to the foot above the last row; lab opens the
  // next column, whether the last row holds notes or not.
  const std::vector<std::string> FILLED = {"0,0 " + PROD, "1,0 1 [ web1 ]", "2,2 3 [ CRITICAL ]",
                                           "2,12 0b [ HTTP]", "3,2 3 [ CRITICAL ]", "3,12 0b [ SSH]",
                                           "0,50 " + LAB, "1,50 6 [ db1 ]"};
  auto with = [](std::vector<std::string> labels, std::vector<std::string> more) {
    labels.insert(labels.end(), more.begin(), more.end());
    return labels;
  };
  const Case cases[] = {
      {"no notes: the header that would end the column opens the next",
       {{"prod", &FULL_COLUMN}, {"lab", &LAB_DOWN}},
       false, false, 5, 100, FILLED, ALARM_ROLE},
      {"-u: the column ends above the names; the next header opens the next column",
       {{"prod", &FULL_COLUMN}, {"lab", &LAB_DOWN}},
       true, false, 6, 100, with(FILLED, {"5,0 1 [ prod ]", "5,6 1 [ lab ]", "5,90 0 [ 16:27:26 ]"}), ALARM_ROLE},
      {"the unread note keeps the last row too",
       {{"prod", &FULL_COLUMN}, {"lab", &DB1_DOWN_UNREAD}},
       false, false, 6, 100, with(FILLED, {"5,90 7b [ 2 unread ]"}), ALARM_ROLE},
      {"-m with nothing hidden: the last row is the servers'",
       {{"prod", &TWO_DOWN}, {"lab", &LAB_DOWN}},
       false, true, 4, 100,
       {"0,0 " + PROD, "1,0 6 [ db1 ]", "3,0 6 [ db2 ]", "0,50 " + LAB, "1,50 6 [ db1 ]"},
       ALARM_ROLE},
      {"-m with something hidden: laid out again above the note, which counts only what runs past the right edge",
       {{"prod", &TWO_DOWN}, {"lab", &LAB_DOWN}},
       false, true, 4, 50,
       {"0,0 " + PROD, "1,0 6 [ db1 ]", "3,39 7b [ +2 hidden ]"},
       ALARM_ROLE},
      {"a group going on in the next column stands under its server's header and host again",
       {{"prod", &LONG_GROUP}, {"lab", &LAB_DOWN}},
       false, false, 5, 150,
       {"0,0 " + PROD, "1,0 1 [ web1 ]", "2,2 3 [ CRITICAL ]", "2,12 0b [ HTTP]", "3,2 3 [ CRITICAL ]",
        "3,12 0b [ SSH]", "0,50 " + PROD, "1,50 1 [ web1 ]", "2,52 2 [ WARNING ]", "2,61 0b [ Disk]",
        "3,52 2 [ WARNING ]", "3,61 0b [ Load]", "0,100 " + LAB, "1,100 6 [ db1 ]"},
       ALARM_ROLE},
      {"two rows: the header again over the status, no room for its host",
       {{"prod", &PROD_PROBLEMS}, {"lab", &CALM}},
       false, false, 2, 100,
       {"0,0 " + PROD, "1,0 1 [ web1 ]", "0,50 " + PROD, "1,52 3 [ CRITICAL ]", "1,62 0b [ HTTP]"}},
      {"a failing server's reason goes with its header into the next column",
       {{"prod", &PROD_PROBLEMS}, {"gone", &REFUSED}, {"old", &OLD}, {"lost", &REFUSED}},
       true, false, 6, 150,
       {"0,0 7b [" + bar(" gone: No connection to server! ") + "]", "1,1 0 [connection refused, since 16:26:26]",
        "2,0 7b [" + bar(" old: Server data is 12 min old! ") + "]", "3,1 0 [data 12 min old, since 16:26:26]",
        "0,50 7b [" + bar(" lost: No connection to server! ") + "]", "1,51 0 [connection refused, since 16:26:26]",
        "2,50 " + PROD, "3,50 1 [ web1 ]", "4,52 3 [ CRITICAL ]", "4,62 0b [ HTTP]", "5,0 1 [ prod ]",
        "5,6 7 [ gone ]", "5,12 7 [ old ]", "5,17 7 [ lost ]", "5,140 0 [ 16:27:26 ]"}},
  };
  expect_frames(cases);
}

// A failing server is never pushed out of sight by another's problems, and
// stands out on the red screen.
TEST_F(ServersLayout, FailingServersComeFirstAndStandOut) {
  static const std::string hosts[] = {"h1", "h2", "h3", "h4", "h5", "h6", "h7", "h8", "h9", "h10"};
  std::vector<ReportItem> items;
  for (const std::string& name : hosts) {
    items.push_back(host(name));
    items.push_back(critical("Load"));
  }
  items.push_back(down("db1"));
  const Outcome flood = listing(items);
  const std::vector<ServerView> servers = {{"prod", &flood}, {"gone", &REFUSED}};
  Options options;
  options.show_clock = true;
  options.show_hidden = true;
  Frame frame(8, 50);
  compose_frame(servers, options, frame);
  const std::vector<std::string> labels = describe(frame);
  ASSERT_GE(labels.size(), 3u);
  // On the red screen: black on white, bold, header and name alike.
  EXPECT_EQ(labels[0], "0,0 6b [" + bar(" gone: No connection to server! ") + "]");
  EXPECT_EQ(labels[1], "1,1 0 [connection refused, since 16:26:26]");
  EXPECT_EQ(labels[2], "2,0 8b [" + bar(" prod") + "]");
  EXPECT_EQ(frame.background, ALARM_ROLE);
  EXPECT_NE(std::find(labels.begin(), labels.end(), "7,6 6b [ gone ]"), labels.end());
  // Nothing laid out under the notes: every label of a server above the last row.
  for (const Label& label : frame.labels) {
    if (label.row != 7) continue;
    EXPECT_EQ(label.form, LabelForm::PLAIN) << describe(label);
    EXPECT_LT(cell_width(label.text), 20) << describe(label);
  }
  // The rest of the flood (and its DOWN host) beyond the right edge: counted.
  EXPECT_GT(frame.hidden_labels, 0);

  // More failing servers than rows: -m counts the headers that do not show.
  std::vector<ServerView> failing_servers = {{"a", &REFUSED}, {"b", &REFUSED}, {"c", &REFUSED}, {"d", &PROD_PROBLEMS}};
  Options only_hidden;
  only_hidden.show_hidden = true;
  Frame small(3, 50);
  compose_frame(failing_servers, only_hidden, small);
  const std::vector<std::string> expected = {"0,0 7b [" + bar(" a: No connection to server! ") + "]",
                                             "1,0 7b [" + bar(" b: No connection to server! ") + "]",
                                             "2,39 7b [ +2 hidden ]"};
  EXPECT_EQ(describe(small), expected);
}

// Every server failing: the banner says what is true of each.
TEST_F(ServersLayout, EveryServerFailingTellsEachOnesWords) {
  const Outcome explicit_refused = failing(" No connection to server! ", "connection refused");
  const Outcome old_69 = failing(" Server data is 69 min old! ", "status data older than maxage 300 s");
  const Outcome old_9 = failing(" Server data is 9 min old! ", "status data older than maxage 300 s");
  const Case cases[] = {
      {"their own words, one centred line each from the middle row",
       {{"prod", &old_9}, {"lab", &old_69}},
       false, false, 10, 80,
       {"5,23 7 [ prod: Server data is 9 min old! ]", "6,23 7 [ lab: Server data is 69 min old! ]"}},
      {"-u: each one's reason under its line, kept whole with its time",
       {{"prod", &old_9}, {"lab", &REFUSED}},
       true, false, 10, 80,
       {"5,23 7 [ prod: Server data is 9 min old! ]",
        "6,14 0 [status data older than maxage 300 s, since 16:26:26]",
        "7,24 7 [ lab: No connection to server! ]", "8,23 0 [connection refused, since 16:26:26]", "9,0 7 [ prod ]",
        "9,6 7 [ lab ]", "9,70 0 [ 16:27:26 ]"}},
      {"as many as fit, then how many more",
       {{"a", &old_9}, {"b", &old_69}, {"c", &old_9}, {"d", &old_69}, {"e", &old_9}},
       false, false, 4, 80,
       {"0,25 7 [ a: Server data is 9 min old! ]", "1,24 7 [ b: Server data is 69 min old! ]",
        "2,25 7 [ c: Server data is 9 min old! ]", "3,35 7 [ +2 more ]"}},
      {"no words of its own and the no-connection words agree",
       {{"prod", &REFUSED}, {"lab", &explicit_refused}},
       false, false, 10, 80,
       {"5,27 7 [ No connection to server! ]"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Options options;
    options.show_clock = c.show_clock;
    options.show_hidden = c.show_hidden;
    Frame frame(c.rows, c.columns);
    compose_frame(c.servers, options, frame);
    EXPECT_EQ(describe(frame), c.labels);
  }
}

// The reason under a failing header (49 cells) and per server when all
// fail: the time is never cut; the cause is shortened, then the time left out.
TEST_F(ServersLayout, ReasonLinesAreNeverCutInsideTheirTime) {
  struct ReasonCase {
    const char* name;
    std::string lead;
    std::string reason;
    std::time_t cause_since;
    int cells;
    std::string expected;
  };
  const std::string AGE = "status data older than maxage 300 s";  // 35 cells
  const ReasonCase cases[] = {
      {"fits whole", "", "connection refused", 0, 49, "connection refused, since 16:26:26"},
      {"exactly the room", "", std::string(33, 'c'), 0, 49, std::string(33, 'c') + ", since 16:26:26"},
      {"the data age's cause shortened, its time kept", "", AGE, 0, 50 - 1,
       "status data older than maxage..., since 16:26:26"},
      {"a changed cause: too little room left for it, the times left out whole", "", AGE, FETCHED_AT - 30, 49, AGE},
      {"after the server's name", "prod: ", AGE, 0, 40, "prod: status data old..., since 16:26:26"},
      {"wide characters counted in cells", "", "接続が拒否されました", 0, 30, "接続が拒否..., since 16:26:26"},
      {"no room for the time at all: the cause cut", "", AGE, 0, 20, "status data older..."},
  };
  for (const ReasonCase& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome outcome = failing("", c.reason);
    outcome.cause_since = c.cause_since;
    const std::string text = fitted_reason(c.lead, outcome, c.cells);
    EXPECT_EQ(text, c.expected);
    EXPECT_LE(cell_width(text), c.cells);
  }
  // In a frame: the data age's reason under its header, in its column.
  const Outcome old = failing(" Server data is 12 min old! ", AGE);
  const std::vector<ServerView> servers = {{"old", &old}, {"prod", &PROD_PROBLEMS}};
  Options options;
  options.show_clock = true;
  Frame frame(10, 100);
  compose_frame(servers, options, frame);
  ASSERT_GE(frame.labels.size(), 2u);
  EXPECT_EQ(describe(frame.labels[1]), "1,1 0 [status data older than maxage..., since 16:26:26]");
  // In a column the right edge narrows to 30 cells: measured there.
  const std::vector<ServerView> three = {{"a", &REFUSED}, {"b", &REFUSED}, {"c", &REFUSED}, {"d", &PROD_PROBLEMS}};
  Frame narrow(5, 80);
  compose_frame(three, options, narrow);
  ASSERT_GE(narrow.labels.size(), 6u);
  EXPECT_EQ(describe(narrow.labels[4]), "0,50 7b [" + bar(" c: No connection to server! ") + "]");
  EXPECT_EQ(describe(narrow.labels[5]), "1,51 0 [connection..., since 16:26:26]");
}

// Names laid out beside one another are measured in cells: wide (CJK) names
// take two a character.
TEST_F(ServersLayout, WideNamesAreMeasuredInCells) {
  const std::vector<ServerView> servers = {{"東京", &PROD_PROBLEMS}, {"大阪", &REFUSED}, {"lab", nullptr}};
  Options options;
  options.show_clock = true;
  Frame frame(10, 100);
  compose_frame(servers, options, frame);
  const std::vector<std::string> labels = describe(frame);
  // The header a bar of 50 cells; in the last row, each name after the other's cells.
  const std::vector<std::string> expected = {
      "0,0 7b [ 大阪: No connection to server!" + std::string(50 - 31, ' ') + "]",
      "1,1 0 [connection refused, since 16:26:26]",
      "2,0 8b [ 東京" + std::string(45, ' ') + "]",
      "3,0 1 [ web1 ]", "4,2 3 [ CRITICAL ]", "4,12 0b [ HTTP]",
      "9,0 1 [ 東京 ]", "9,6 7 [ 大阪 ]", "9,12 5 [ lab ]", "9,90 0 [ 16:27:26 ]"};
  EXPECT_EQ(labels, expected);
  for (int n : {0, 2}) EXPECT_EQ(cell_width(frame.labels[static_cast<std::size_t>(n)].text), 50);
  // Every server failing, each line centred by its cells.
  const Outcome old = failing(" Server data is 12 min old! ", "old");
  const std::vector<ServerView> all_failing = {{"東京", &REFUSED}, {"大阪", &old}};
  Frame banners(10, 80);
  compose_frame(all_failing, Options{}, banners);
  const std::vector<std::string> centred = {"5,24 7 [ 東京: No connection to server! ]",
                                            "6,23 7 [ 大阪: Server data is 12 min old! ]"};
  EXPECT_EQ(describe(banners), centred);
}

// A server whose own exclude file could not be used says so in its header,
// calm or not.
TEST_F(ServersLayout, AnUnusableExcludeFileIsMarkedInItsHeader) {
  ServerView prod{"prod", &PROD_PROBLEMS};
  prod.exclude_fault = true;
  ServerView calm{"lab", &CALM};
  calm.exclude_fault = true;
  ServerView gone{"gone", &REFUSED};
  gone.exclude_fault = true;
  const std::vector<ServerView> servers = {prod, calm, gone, {"web", &CALM}};
  Frame frame(10, 100);
  compose_frame(servers, Options{}, frame);
  const std::vector<std::string> expected = {
      "0,0 7b [ gone: No connection to server!  (exclude file unusable) ]",
      "1,0 8b [" + bar(" prod  (exclude file unusable) ") + "]", "2,0 1 [ web1 ]", "3,2 3 [ CRITICAL ]",
      "3,12 0b [ HTTP]", "5,0 8b [" + bar(" lab  (exclude file unusable) ") + "]"};
  EXPECT_EQ(describe(frame), expected);
  // The failing header is cut at its column's end, as any header.
  const std::vector<std::vector<Cell>> cells = paint_cells(frame);
  EXPECT_EQ(cells[0][49].character, 'u');
  EXPECT_EQ(cells[0][50].character, ' ');
}

}  // namespace
