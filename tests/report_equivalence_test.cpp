// The report pass against the straightforward version on many generated
// pages: the same report, frame and "No match!" count, every time.
#include <atomic>
#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <string>
#include <vector>

#include "config/exclude_list.h"
#include "frame_view.h"
#include "page_lines.h"
#include "reference_report_pass.h"
#include "report/problem_lines.h"
#include "report/report_pass.h"
#include "layout/report_layout.h"

namespace {

struct Drawn {
  std::vector<std::string> labels;
  short background;
  int unmatched;
};

template <typename Pass>
Drawn draw(Pass pass, const std::vector<ProblemLine>& lines, const ExcludeList& excludes, bool newcgi, int rows,
           int columns) {
  const Report report = pass(lines, read_names(lines, newcgi), excludes);
  Frame frame(rows, columns);
  lay_out_report(report, frame);
  return {describe(frame), colour_pair(frame.background), report.unmatched};
}

class PageMaker {
 public:
  explicit PageMaker(unsigned seed) : random_(seed) {}

  std::string name() {
    static const std::vector<std::string> stems = {"web", "Web", "WEB1", "web1", "db", "db1", "DB12", "mail",
                                                   "a",   "ab",  "abc",  "Load", "x'/>", "value='q", ""};
    std::string n = pick(stems);
    if (chance(3)) n += std::to_string(number(0, 30));
    if (chance(8)) n = pick(stems) + n;
    return n;
  }

  std::string token() {
    static const std::vector<std::string> tokens = {"WRN", "CRI", "UNK", "wrn", "Critical", "unknown",
                                                    "CRI WRN", "DWN", "UNR", "unreachable", "UNK DWN"};
    return pick(tokens);
  }

  std::string row_token() {
    static const std::vector<std::string> tokens = {"DWN", "UNR", "WRN", "CRI", "UNK", "cri", "No problems"};
    return pick(tokens);
  }

  std::string line(bool newcgi) {
    switch (number(0, 13)) {
      case 10: {
        const std::string token = row_token();
        return cgi_row(token, name(), token == "DWN" || token == "UNR" ? "" : name());
      }
      case 11: return rendition_row(row_token(), name(), chance(2) ? "" : name());
      case 12: return "<tr><td>" + name() + "</td><td>" + row_token() + "</td></tr>\n";  // the name first
      case 13: return "<tr class='x'><td>" + row_token() + "</td><td>" + name() + "/" + name() + "</td></tr>\n";
      case 0: return host_line(name(), chance(2) ? "DWN" : "UNR");
      case 1: return host_line(name(), "DWN UNR");
      case 2:  // several value='...'/> elements
        return "<postfield name='host' value='" + name() + "'/><postfield name='service' value='" + name() +
               "'/><postfield name='x' value='" + name() + "'/> " + token() + "\n";
      case 3: return "<p>" + token() + " without a host</p>\n";
      case 4: return "<postfield name='host' value='" + name() + "'/> " + token() + " #comments\n";
      default:
        return newcgi || chance(4) ? service_line(name(), name(), token()) : cell_line(name(), name(), token());
    }
  }

  std::string page(bool newcgi) {
    std::string body = "<wml>\n";
    for (int n = number(0, 40); n > 0; --n) body += line(newcgi);
    if (chance(20)) {  // a line too tangled for the index
      std::string tangled = "<postfield name='host' value='" + name() + "'/>";
      for (int i = 0; i < 200; ++i) tangled += "value='" + name() + "'/>";
      body += tangled + " CRI\n";
    }
    return body;
  }

  ExcludeList excludes() {
    std::vector<std::string> entries;
    for (int n = number(0, 3); n > 0; --n) entries.push_back(chance(6) ? "" : name());
    return make_exclude_list(std::move(entries));
  }

  int number(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  bool chance(int one_in) { return number(1, one_in) == 1; }

 private:
  const std::string& pick(const std::vector<std::string>& from) {
    return from[static_cast<std::size_t>(number(0, static_cast<int>(from.size()) - 1))];
  }
  std::mt19937 random_;
};

TEST(ReportEquivalence, SameFrameAsTheStraightforwardPassOnGeneratedPages) {
  PageMaker maker(4242);
  int red = 0, drawn = 0;
  for (int round = 0; round < 3000; ++round) {
    const bool newcgi = maker.chance(3) ? false : true;
    const std::string body = maker.page(newcgi);
    const ExcludeList excludes = maker.excludes();
    const int rows = maker.number(1, 30), columns = maker.number(1, 200);
    const std::vector<ProblemLine> lines = split_problem_lines(body);
    // A stop flag that is there but down changes nothing.
    const std::atomic<bool> down{false};
    const StopFlag stop = round % 2 ? &down : nullptr;
    const auto pass = [stop](const auto& l, const auto& n, const auto& e) { return render_problems(l, n, e, stop); };
    const Drawn fast = draw(pass, lines, excludes, newcgi, rows, columns);
    const Drawn slow = draw(reference_render_problems, lines, excludes, newcgi, rows, columns);
    ASSERT_EQ(fast.labels, slow.labels) << "round " << round << " page:\n" << body;
    ASSERT_EQ(fast.background, slow.background) << "round " << round;
    ASSERT_EQ(fast.unmatched, slow.unmatched) << "round " << round;
    red += slow.background == 7;
    drawn += !slow.labels.empty();
  }
  // The generator reaches the interesting cases.
  EXPECT_GT(red, 1000);
  EXPECT_GT(drawn, 2000);
}

}  // namespace
