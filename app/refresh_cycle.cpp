#include "app/refresh_cycle.h"

#include <curses.h>
#include <unistd.h>

#include "app/command_line.h"
#include "config/config_file.h"
#include "config/exclude_list.h"
#include "fetch/banner.h"
#include "fetch/status_fetch.h"
#include "report/curses_painter.h"
#include "report/problem_lines.h"
#include "report/report_pass.h"
#include "report/screen_writer.h"

void set_palette() {
  init_pair(1, COLOR_BLACK, COLOR_GREEN);   // host with service problems
  init_pair(2, COLOR_BLACK, COLOR_YELLOW);  // WARNING
  init_pair(3, COLOR_BLACK, COLOR_RED);     // CRITICAL
  init_pair(4, COLOR_BLACK, COLOR_MAGENTA); // UNKNOWN; UNREACHABLE host
  init_pair(5, COLOR_WHITE, COLOR_BLACK);   // normal background
  init_pair(6, COLOR_BLACK, COLOR_WHITE);   // DOWN host
  init_pair(7, COLOR_WHITE, COLOR_RED);     // alarm background; no-connection banner
}

void draw_report(std::string_view body) {
  const std::vector<ProblemLine> problem_lines = split_problem_lines(body);
  Frame frame(LINES, COLS);
  render_problems(problem_lines, exclude_list, settings.newcgi == "true", frame);
  paint_frame(frame);
}

bool run_cycle() {
  reset_received_body();
  wclear(stdscr);
  if (!has_colors()) return false;
  // Colours and background are set up afresh at every pass.
  start_color();
  curs_set(0);
  set_palette();
  wbkgd(stdscr, COLOR_PAIR(5));
  if (fetch_problems(settings))
    draw_report(received_text());
  else
    show_no_connection();
  // The cleared screen is shown only now, so the previous frame stays up
  // during the transfer.
  wrefresh(stdscr);
  report_cursor.new_frame = true;
  sleep(options.refresh_interval);
  return true;
}
