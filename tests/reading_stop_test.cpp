// A stop flag raised while a page is read: every long stage of the reading
// gives up, and what is left is never shown as a report, neither a calm one
// nor a part of one. A flag that is there but down changes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/command_line.h"
#include "layout/frame_composition.h"
#include "refresh/refresh_record.h"
#include "layout/frame.h"
#include "common/match_automaton.h"
#include "config/exclude_list.h"
#include "fetch/status_fetch.h"
#include "frame_view.h"
#include "page_lines.h"
#include "report/host_index.h"
#include "report/line_names.h"
#include "report/problem_lines.h"
#include "report/report_pass.h"

namespace {

const std::atomic<bool> RAISED{true};
const std::atomic<bool> DOWN{false};

const std::string HEAD =
    "<?xml version=\"1.0\"?>\n<wml>\n<card id='card1' title='Unhandled Problems'>\n<p align='left' mode='nowrap'>\n";
const std::string FOOT = "</p>\n</card>\n</wml>\n";

std::string page(const std::string& lines) { return HEAD + lines + FOOT; }

// Letters that spell no status token.
std::string letters(std::size_t length, unsigned seed) {
  static const std::string SAFE = "abeghijlmopqstvxyz";
  std::string name;
  for (std::size_t i = 0; i < length; ++i) {
    seed = seed * 1103515245u + 12345u;
    name += SAFE[(seed >> 16) % SAFE.size()];
  }
  return name;
}

// One DOWN host of a long name beside service hosts of every length up to
// hosts, every other one cut from it: hosts of many lengths, so that whether
// a host lies inside the DOWN name is answered by the automaton over all
// hosts, the longest stage of such a page.
std::string long_down_lines(std::size_t down_length, std::size_t hosts) {
  const std::string down = letters(down_length, 7);
  std::string lines = host_line(down, "DWN");
  for (std::size_t length = 1; length <= hosts; ++length) {
    const std::string host = length % 2 ? down.substr(length * 37 % (down_length - length), length)
                                        : letters(length - 1, static_cast<unsigned>(length)) + "n";
    lines += service_line(host, "Load", "WRN");
  }
  return lines;
}

// Hosts that hold each other's keys (x, value='x'/>, value='value='x'/>'/>,
// ...): every line holds the keys of all shorter hosts, so the service lines
// are read through the automaton over all keys.
std::string nested_keys_lines(int hosts) {
  std::string lines, host = "x";
  for (int i = 0; i < hosts; ++i, host = "value='" + host + "'/>") lines += service_line(host, "Load", "CRI");
  return lines;
}

ReceiveBuffer buffer_of(std::string text) {
  ReceiveBuffer buffer = make_receive_buffer();
  on_body_chunk(text.data(), 1, text.size(), &buffer);
  return buffer;
}

struct Shown {
  bool banner;
  std::vector<std::string> labels;
};

Shown shown(const Outcome& outcome) {
  Frame frame(40, 120);
  const ServerView server{{}, &outcome};
  compose_frame(std::span(&server, 1), Options{}, frame);
  return {outcome.banner, describe(frame)};
}

const std::string CALM = page(
    "<b>Host Problems:</b><table columns='2' align='LL'>\n<tr><td>No problems</td></tr>\n</table>\n"
    "<b>Svc Problems:</b><table columns='2' align='LL'>\n<tr><td>No problems</td></tr>\n</table>\n");

struct StopCase {
  const char* name;
  std::string body;
  bool red;  // the page, read whole, raises the alarm
};

void PrintTo(const StopCase& c, std::ostream* out) { *out << c.name; }

const std::vector<StopCase> stop_cases = {
    {"calm", CALM, false},
    {"one_problem", page(service_line("web1", "Load", "CRI")), false},
    {"down_host", page(host_line("db1", "DWN") + service_line("web1", "Load", "WRN")), true},
    {"rows", page(cgi_row("DWN", "db1") + cgi_row("CRI", "web1", "Load")), true},
    {"long_down", page(long_down_lines(40000, 400)), true},
    // A short DOWN name beside many host bytes: the suffix automaton of the
    // DOWN name.
    {"short_down", page(long_down_lines(2000, 400)), true},
    {"nested_keys", page(nested_keys_lines(60)), false},
};

class ReadingStops : public testing::TestWithParam<StopCase> {};

TEST_P(ReadingStops, ARaisedFlagLeavesTheBannerNeverAReport) {
  const ReceiveBuffer body = buffer_of(GetParam().body);
  const ExcludeList excludes;
  const RefreshRecord record = read_refresh({}, {}, body, excludes, true, &RAISED);
  EXPECT_TRUE(record.outcome.banner);
  EXPECT_TRUE(record.outcome.report.items.empty());
  EXPECT_FALSE(record.outcome.report.alarm);
  // Laid out, it is the no-connection banner, as for any page not read whole.
  EXPECT_EQ(shown(record.outcome).labels, shown(Outcome{}).labels);
}

TEST_P(ReadingStops, AFlagThatStaysDownChangesNothing) {
  const ReceiveBuffer body = buffer_of(GetParam().body);
  const ExcludeList excludes;
  const RefreshRecord whole = read_refresh({}, {}, body, excludes, true);
  const RefreshRecord watched = read_refresh({}, {}, body, excludes, true, &DOWN);
  // Every page here is read whole into a report, so the flag had a report to spoil.
  EXPECT_FALSE(whole.outcome.banner);
  EXPECT_EQ(whole.outcome.report.alarm, GetParam().red);
  EXPECT_EQ(whole.outcome.report.items.size(), watched.outcome.report.items.size());
  const Shown a = shown(whole.outcome), b = shown(watched.outcome);
  EXPECT_EQ(a.banner, b.banner);
  EXPECT_EQ(a.labels, b.labels);
}

INSTANTIATE_TEST_SUITE_P(Table, ReadingStops, testing::ValuesIn(stop_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// read_refresh looks at the flag between its steps; a raised flag must also
// end each long stage inside the report pass on its own, or a page built to
// be slow keeps the monitor from ending until that stage is done.
TEST(StagesStop, TheReportPassLeavesNoItems) {
  for (const std::string& lines : {long_down_lines(40000, 400), nested_keys_lines(60)}) {
    const std::vector<ProblemLine> problem_lines = split_problem_lines(lines);
    const std::vector<LineNames> names = read_names(problem_lines, true);
    const ExcludeList excludes;
    EXPECT_FALSE(render_problems(problem_lines, names, excludes).items.empty());
    EXPECT_TRUE(render_problems(problem_lines, names, excludes, &RAISED).items.empty());
  }
}

TEST(StagesStop, TheHostsInsideADownNameAreLeftUnmarked) {
  // Hosts of two lengths (looked up window by window) and of 300 (through
  // the automaton over all hosts), all cut from the DOWN name.
  const std::string down = letters(20000, 3);
  const std::vector<std::string_view> downs = {down};
  for (const std::size_t lengths : {std::size_t{2}, std::size_t{300}}) {
    HostTable hosts;
    for (std::size_t k = 0; k < 300; ++k) hosts.insert(std::string_view(down).substr(k * 53, 5 + k % lengths));
    const std::vector<bool> whole = hosts_inside(hosts, downs);
    ASSERT_EQ(std::count(whole.begin(), whole.end(), true), static_cast<long>(hosts.names.size())) << lengths;
    const std::vector<bool> stopped = hosts_inside(hosts, downs, &RAISED);
    EXPECT_EQ(std::count(stopped.begin(), stopped.end(), true), 0) << lengths;
  }
}

TEST(StagesStop, TheServiceIndexFilesNoLine) {
  const std::string lines = nested_keys_lines(60);
  const std::vector<ProblemLine> problem_lines = split_problem_lines(lines);
  const std::vector<LineNames> names = read_names(problem_lines, true);
  HostTable hosts;
  for (const LineNames& n : names) hosts.insert(n.host);
  const std::vector<bool> read(problem_lines.size(), true);
  EXPECT_FALSE(index_service_lines(problem_lines, read, hosts).line.empty());
  EXPECT_TRUE(index_service_lines(problem_lines, read, hosts, &RAISED).line.empty());
}

TEST(StagesStop, TheAutomatonIsNotBuiltAndALongSearchEnds) {
  const std::vector<std::string_view> patterns = {"abc", "needle"};
  std::vector<std::uint32_t> named(patterns.size(), NO_PATTERN), found;
  find_patterns(build_match_automaton(patterns, &RAISED), "abc needle", named, 1, found);
  EXPECT_TRUE(found.empty());

  // The needle lies far past the first steps of the search.
  const std::string text = std::string(100000, 'q') + "needle";
  const MatchAutomaton automaton = build_match_automaton(patterns);
  find_patterns(automaton, text, named, 2, found, &DOWN);
  EXPECT_EQ(found, std::vector<std::uint32_t>{1});
  found.clear();
  find_patterns(automaton, text, named, 3, found, &RAISED);
  EXPECT_TRUE(found.empty());
}

}  // namespace
