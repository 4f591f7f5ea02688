// The frame keeps the short texts it shows: the banner, the reason under it
// and the last row's notes stay as they were laid out once the outcome they
// came from is gone, and wherever the frame is moved.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "config/command_line.h"
#include "frame_view.h"
#include "layout/frame_composition.h"
#include "refresh/refresh_record.h"

namespace {

TEST(FrameComposition, KeepsItsTextsOnceTheOutcomeIsGoneAndWhenMoved) {
  const char* saved = std::getenv("TZ");
  const std::string saved_zone = saved ? saved : "";
  setenv("TZ", "UTC0", 1);
  tzset();
  constexpr std::time_t FETCHED_AT = 1796920046;  // 16:27:26
  struct Case {
    const char* name;
    bool banner;
    std::string banner_text;  // longer than a string keeps in itself
    int unread_rows;
    std::vector<std::string> labels;
  };
  const Case cases[] = {
      {"own banner", true, " The status data is 20 minutes old ", 0,
       {"12,22 7 [ The status data is 20 minutes old ]", "13,23 0 [connection refused, since 16:26:26]",
        "23,70 0 [ 16:27:26 ]"}},
      {"no connection", true, "", 0,
       {"12,27 7 [ No connection to server! ]", "13,23 0 [connection refused, since 16:26:26]",
        "23,70 0 [ 16:27:26 ]"}},
      {"unread rows", false, "", 3, {"23,60 7b [ 3 unread ]", "23,70 0 [ 16:27:26 ]"}},
  };
  Options options;
  options.show_clock = true;
  options.show_hidden = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto outcome = std::make_unique<Outcome>();
    outcome->banner = c.banner;
    outcome->banner_text = c.banner_text;
    outcome->reason = c.banner ? "connection refused" : "";
    outcome->fetched_at = FETCHED_AT;
    outcome->failing_since = FETCHED_AT - 60;
    outcome->report.unread_rows = c.unread_rows;
    std::vector<Frame> frames;
    frames.emplace_back(24, 80);
    const ServerView server{{}, outcome.get()};
    compose_frame(std::span(&server, 1), options, frames.back());
    // What the frame was laid out from is overwritten, then freed.
    outcome->banner_text.assign(outcome->banner_text.size(), '#');
    outcome->reason.assign(outcome->reason.size(), '#');
    outcome.reset();
    // Each time the vector grows, the frame moves.
    for (int i = 0; i < 8; ++i) frames.emplace_back(1, 1);
    EXPECT_EQ(describe(frames.front()), c.labels);
  }
  if (saved) setenv("TZ", saved_zone.c_str(), 1);
  else unsetenv("TZ");
  tzset();
}

}  // namespace
