#include "app/refresh_cycle.h"

#include <cstdio>
#include <unistd.h>

#include "app/curses_screen.h"
#include "app/program.h"
#include "common/frame.h"
#include "fetch/banner.h"
#include "fetch/status_fetch.h"
#include "report/page_check.h"
#include "report/problem_lines.h"
#include "report/report_pass.h"
#include "report/screen_writer.h"

Answer read_answer(const ReceiveBuffer& body, const ExcludeList& excludes, bool newcgi) {
  Answer answer;
  answer.lines = split_problem_lines(received_text(body));
  answer.verdict = check_page(received_body(body), !answer.lines.empty());
  if (answer.verdict == PageVerdict::STATUS_PAGE) answer.report = render_problems(answer.lines, excludes, newcgi);
  return answer;
}

int lay_out_answer(const ReceiveBuffer& body, const ExcludeList& excludes, bool newcgi, Frame& frame) {
  const Answer answer = read_answer(body, excludes, newcgi);
  if (answer.verdict != PageVerdict::STATUS_PAGE) {
    show_no_connection(frame);
    return 0;
  }
  lay_out_report(answer.report, frame);
  return answer.report.unmatched;
}

void print_no_match(int count) {
  for (int i = 0; i < count; ++i) std::fputs("No match!", stdout);
}

bool run_cycle(Program& program) {
  wclear(stdscr);
  if (!has_colors()) return false;
  // Colours and background are set up afresh at every pass.
  start_color();
  curs_set(0);
  set_palette();
  wbkgd(stdscr, COLOR_PAIR(colour_pair(NORMAL_ROLE)));
  const FetchResult fetched = fetch_problems(program.settings, program.body);
  Frame frame(LINES, COLS);
  if (fetched.ok())
    print_no_match(lay_out_answer(program.body, program.excludes, program.settings.newcgi, frame));
  else
    show_no_connection(frame);
  paint_frame(frame);
  // The cleared screen is shown only now, so the previous frame stays up
  // during the transfer.
  wrefresh(stdscr);
  sleep(program.options.refresh_interval);
  return true;
}
