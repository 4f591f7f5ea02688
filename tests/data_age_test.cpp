// The age of the server's status data, read from the JSON CGI's answer, and
// the banner it gives.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "fetch/data_age.h"

namespace {

// An answer as the JSON CGI writes it, with result's members as given.
std::string answer(const std::string& result_members, const std::string& data = "{}") {
  return "{\"format_version\": 0, \"result\": {\"cgi\": \"statusjson.cgi\", \"user\": \"ops\", "
         "\"query\": \"hostcount\", \"query_status\": \"released\", " +
         result_members + "}, \"data\": " + data + "}";
}

TEST(DataAge, ReadsQueryTimeMinusLastDataUpdate) {
  struct Case {
    const char* name;
    std::string json;
    std::optional<std::int64_t> age_ms;
    std::optional<std::int64_t> program_start_ms;
  };
  const Case cases[] = {
      {"an hour old",
       answer("\"query_time\": 1796920046000, \"program_start\": 1796920046000, \"last_data_update\": "
              "1796916446000, \"type_code\": 0, \"type_text\": \"Success\", \"message\": \"\""),
       3600000, 1796920046000},
      {"fresh", answer("\"query_time\": 1796920046000, \"last_data_update\": 1796920043500"), 2500, std::nullopt},
      {"program start under data",
       answer("\"query_time\": 1796920046000, \"last_data_update\": 1796920046000",
              "{\"programstatus\": {\"version\": \"4.x.y\", \"program_start\": 1796000000000}}"),
       0, 1796000000000},
      // Written after the answer's time: within a minute, the two clock
      // readings (age 0); beyond it no age at all.
      {"newer than the answer", answer("\"query_time\": 1000, \"last_data_update\": 5000"), 0, std::nullopt},
      {"a minute ahead", answer("\"query_time\": 1796920046000, \"last_data_update\": 1796920106000"), 0,
       std::nullopt},
      {"just over a minute ahead", answer("\"query_time\": 1796920046000, \"last_data_update\": 1796920106001"),
       std::nullopt, std::nullopt},
      {"three hours ahead", answer("\"query_time\": 1796920046000, \"last_data_update\": 1796930846000"),
       std::nullopt, std::nullopt},
      {"with fractions", answer("\"query_time\": 10000.9, \"last_data_update\": 2000.2"), 8000, std::nullopt},
      {"no last_data_update", answer("\"query_time\": 1796920046000"), std::nullopt, std::nullopt},
      {"no query_time", answer("\"last_data_update\": 1796920046000"), std::nullopt, std::nullopt},
      {"as text", answer("\"query_time\": \"1796920046000\", \"last_data_update\": 1"), std::nullopt, std::nullopt},
      {"null", answer("\"query_time\": null, \"last_data_update\": 1"), std::nullopt, std::nullopt},
      {"too large", answer("\"query_time\": 18446744073709551615, \"last_data_update\": 1"), std::nullopt,
       std::nullopt},
      {"too far apart", answer("\"query_time\": 9223372036854775807, \"last_data_update\": -9223372036854775807"),
       std::nullopt, std::nullopt},
      {"fields outside result", "{\"query_time\": 2, \"last_data_update\": 1}", std::nullopt, std::nullopt},
      {"result no object", "{\"result\": [1, 2]}", std::nullopt, std::nullopt},
      {"an array", "[]", std::nullopt, std::nullopt},
      {"garbage", "<html><body>Internal error</body></html>", std::nullopt, std::nullopt},
      {"cut short", answer("\"query_time\": 2, \"last_data_update\": 1").substr(0, 60), std::nullopt,
       std::nullopt},
      {"empty", "", std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    const DataAge age = read_data_age(c.json);
    EXPECT_EQ(age.age_ms, c.age_ms) << c.name;
    EXPECT_EQ(age.program_start_ms, c.program_start_ms) << c.name;
    // Whenever the age is missing, something says why.
    EXPECT_EQ(age.problem.empty(), age.age_ms.has_value()) << c.name << ": " << age.problem;
  }
}

TEST(DataAge, DataWrittenAheadOfTheServersClockIsNamed) {
  const DataAge ahead =
      read_data_age(answer("\"query_time\": 1796920046000, \"last_data_update\": 1796930846000"));
  EXPECT_TRUE(ahead.written_ahead);
  EXPECT_EQ(ahead.problem,
            "last_data_update lies 10800 s after query_time: the server's clock stepped back, or its status data "
            "was written in the future");
  EXPECT_EQ(data_age_banner(ahead, 300), " Server data age unknown! ");
  EXPECT_FALSE(read_data_age(answer("\"query_time\": 1000, \"last_data_update\": 61000")).written_ahead);
  EXPECT_FALSE(read_data_age(answer("\"query_time\": 1000, \"last_data_update\": 900000")).age_ms);
}

// The hostcount answer's data.count: the hosts this user may see. Each case
// has good times, so that only the count decides.
TEST(DataAge, ReadsTheHostsTheUserMaySee) {
  const std::string times = "\"query_time\": 1796920046000, \"last_data_update\": 1796920043000";
  auto count = [&times](const std::string& data) { return answer(times, data); };
  struct Case {
    const char* name;
    std::string json;
    std::optional<std::int64_t> total;  // nothing: no count read
    bool says_why;                      // hosts_problem set (a JSON answer with a result)
  };
  const Case cases[] = {
      {"some hosts", count(R"({"count": {"up": 120, "down": 2, "unreachable": 1, "pending": 4}})"), 127, false},
      {"none at all", count(R"({"count": {"up": 0, "down": 0, "unreachable": 0, "pending": 0}})"), 0, false},
      {"only pending", count(R"({"count": {"up": 0, "down": 0, "unreachable": 0, "pending": 1}})"), 1, false},
      {"more members", count(R"({"count": {"up": 1, "down": 0, "unreachable": 0, "pending": 0, "x": "y"}})"), 1,
       false},
      {"a state missing", count(R"({"count": {"up": 3, "down": 0, "unreachable": 0}})"), std::nullopt, true},
      {"a count as text", count(R"({"count": {"up": "3", "down": 0, "unreachable": 0, "pending": 0}})"),
       std::nullopt, true},
      {"a fraction", count(R"({"count": {"up": 3.5, "down": 0, "unreachable": 0, "pending": 0}})"), std::nullopt,
       true},
      {"below zero", count(R"({"count": {"up": -1, "down": 0, "unreachable": 0, "pending": 0}})"), std::nullopt,
       true},
      {"null", count(R"({"count": {"up": null, "down": 0, "unreachable": 0, "pending": 0}})"), std::nullopt, true},
      {"too large",
       count(R"({"count": {"up": 9223372036854775807, "down": 1, "unreachable": 0, "pending": 0}})"),
       std::nullopt, true},
      {"beyond int64", count(R"({"count": {"up": 18446744073709551615, "down": 0, "unreachable": 0, "pending": 0}})"),
       std::nullopt, true},
      {"count no object", count(R"({"count": [0, 0, 0, 0]})"), std::nullopt, true},
      {"the program status instead", count(R"({"programstatus": {"version": "4.x.y"}})"), std::nullopt, true},
      {"no data", answer(times) + "", std::nullopt, true},
      {"count outside data",
       "{\"result\": {" + times + "}, \"count\": {\"up\": 0, \"down\": 0, \"unreachable\": 0, \"pending\": 0}}",
       std::nullopt, true},
      // No JSON CGI's answer at all: nothing to say of the hosts.
      {"an HTML page", "<html><body>Not Found</body></html>", std::nullopt, false},
      {"no result", R"({"data": {"count": {"up": 0, "down": 0, "unreachable": 0, "pending": 0}}})", std::nullopt,
       false},
  };
  for (const Case& c : cases) {
    const DataAge age = read_data_age(c.json);
    EXPECT_EQ(age.hosts ? std::optional<std::int64_t>(age.hosts->total) : std::nullopt, c.total) << c.name;
    EXPECT_EQ(!age.hosts_problem.empty(), c.says_why) << c.name << ": " << age.hosts_problem;
  }
  const DataAge some = read_data_age(count(R"({"count": {"up": 120, "down": 2, "unreachable": 1, "pending": 4}})"));
  ASSERT_TRUE(some.hosts);
  EXPECT_EQ(some.hosts->up, 120);
  EXPECT_EQ(some.hosts->down, 2);
  EXPECT_EQ(some.hosts->unreachable, 1);
  EXPECT_EQ(some.hosts->pending, 4);
  EXPECT_EQ(some.age_ms, 3000);  // the age is read beside it
}

// With maxage: an old or unknown age first, then a user who sees no host.
TEST(DataAge, StatusDataBanner) {
  const std::string fresh = "\"query_time\": 1796920046000, \"last_data_update\": 1796920043000";
  const std::string old = "\"query_time\": 1796920046000, \"last_data_update\": 1796916446000";
  const std::string ahead = "\"query_time\": 1796920046000, \"last_data_update\": 1796930846000";
  const std::string none = R"({"count": {"up": 0, "down": 0, "unreachable": 0, "pending": 0}})";
  const std::string one = R"({"count": {"up": 0, "down": 1, "unreachable": 0, "pending": 0}})";
  struct Case {
    const char* name;
    std::string json;
    std::optional<std::string> banner;
  };
  const Case cases[] = {
      {"fresh, hosts", answer(fresh, one), std::nullopt},
      {"fresh, no hosts", answer(fresh, none), " Server shows this user no hosts! "},
      {"old, no hosts", answer(old, none), " Server data is 60 min old! "},
      {"ahead, hosts", answer(ahead, one), " Server data age unknown! "},
      {"ahead, no hosts", answer(ahead, none), " Server data age unknown! "},
      {"fresh, no count", answer(fresh), std::nullopt},
      {"not JSON", "]]", " Server data age unknown! "},
  };
  for (const Case& c : cases) EXPECT_EQ(status_data_banner(read_data_age(c.json), 300), c.banner) << c.name;
}

TEST(DataAge, BannerWhenOlderThanMaxAgeOrUnknown) {
  struct Case {
    std::optional<std::int64_t> age_ms;
    std::uint32_t max_age;
    std::optional<std::string> banner;
  };
  const Case cases[] = {
      {3600000, 300, " Server data is 60 min old! "},
      {300000, 300, std::nullopt},  // exactly maxage: not older
      {300001, 300, " Server data is 5 min old! "},
      {119999, 60, " Server data is 1 min old! "},  // whole minutes, rounded down
      {60000, 30, " Server data is 1 min old! "},
      {59999, 30, " Server data is 59 s old! "},    // under a minute: seconds
      {30500, 30, " Server data is 30 s old! "},
      {1500, 0, " Server data is 1 s old! "},
      {999, 0, " Server data is 0 s old! "},
      {0, 0, std::nullopt},
      {-4000, 0, std::nullopt},  // newer than the answer: the clocks disagree, not stale
      {std::nullopt, 300, " Server data age unknown! "},
      {86400000LL * 400, 31622400, " Server data is 576000 min old! "},
  };
  for (const Case& c : cases) {
    DataAge age;
    age.age_ms = c.age_ms;
    EXPECT_EQ(data_age_banner(age, c.max_age), c.banner) << (c.age_ms ? *c.age_ms : -1) << " ms, " << c.max_age;
  }
}

}  // namespace
