#include "app/refresh_cycle.h"

#include <cstdio>
#include <unistd.h>

#include "app/curses_screen.h"
#include "app/program.h"
#include "common/frame.h"
#include "fetch/banner.h"
#include "fetch/status_fetch.h"
#include "report/hidden_note.h"
#include "report/page_check.h"
#include "report/problem_lines.h"
#include "report/report_pass.h"
#include "report/screen_writer.h"

int lay_out_answer(const ReceiveBuffer& body, const ExcludeList& excludes, bool newcgi, Frame& frame) {
  const std::vector<ProblemLine> lines = split_problem_lines(received_text(body));
  if (check_page(received_body(body), !lines.empty()) != PageVerdict::STATUS_PAGE) {
    show_no_connection(frame);
    return 0;
  }
  const Report report = render_problems(lines, excludes, newcgi);
  lay_out_report(report, frame);
  return report.unmatched;
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
  HiddenNoteText note;  // the note's label points here until the painting
  if (program.options.show_hidden) put_hidden_note(frame, note);
  paint_frame(frame);
  // The cleared screen is shown only now, so the previous frame stays up
  // during the transfer.
  wrefresh(stdscr);
  sleep(program.options.refresh_interval);
  return true;
}
