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
         "\"query\": \"programstatus\", \"query_status\": \"released\", " +
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
      {"newer than the answer", answer("\"query_time\": 1000, \"last_data_update\": 5000"), -4000, std::nullopt},
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
