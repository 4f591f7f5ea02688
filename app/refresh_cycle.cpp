#include "app/refresh_cycle.h"

#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <unistd.h>

#include "app/curses_screen.h"
#include "app/program.h"
#include "common/frame.h"
#include "fetch/banner.h"
#include "fetch/data_age.h"
#include "fetch/status_fetch.h"
#include "report/clock_note.h"
#include "report/hidden_note.h"
#include "report/html_names.h"
#include "report/page_check.h"
#include "report/problem_lines.h"
#include "report/report_pass.h"
#include "report/screen_writer.h"

namespace {

// curses draws on standard output.
constexpr int TERMINAL_FD = STDOUT_FILENO;

// Lays out what is shown for the terminal's current size and shows it.
void show(const Outcome& shown, const Options& options) {
  Frame frame(LINES, COLS);
  lay_out_outcome(shown, frame);
  // The notes' labels point here until the painting.
  HiddenNoteText note;
  const ClockText clock = options.show_clock ? clock_text(shown.fetched_at) : ClockText{};
  put_last_row_notes(frame, clock.view(), options.show_hidden, note);
  paint_frame(frame);
  wrefresh(stdscr);
}

// Takes a new terminal size if one came, and says whether it did.
bool take_resize(Program& program) {
  if (!program.signals.resized) return false;
  // Cleared before the size is read: a signal after this is seen next time.
  program.signals.resized = 0;
  return follow_terminal_size(TERMINAL_FD);
}

// Sleeps until the next fetch is due, drawing what is shown again whenever
// the terminal takes a new size: a resize neither shortens nor lengthens the
// wait.
CycleEnd wait_for_next_fetch(Program& program) {
  const timespec deadline = monotonic_deadline(program.options.refresh_interval);
  for (;;) {
    if (program.signals.stop) return CycleEnd::STOPPED;
    if (take_resize(program)) {
      wclear(stdscr);
      wbkgd(stdscr, COLOR_PAIR(colour_pair(NORMAL_ROLE)));
      show(program.shown, program.options);
      continue;
    }
    switch (wait_until(deadline, TERMINAL_FD, program.signals)) {
      case WaitEnd::DEADLINE: return CycleEnd::GO_ON;
      case WaitEnd::OUTPUT_GONE: return CycleEnd::STOPPED;
      case WaitEnd::SIGNAL: break;
    }
  }
}

}  // namespace

Answer read_answer(const ReceiveBuffer& body, const ExcludeList& excludes, bool newcgi) {
  Answer answer;
  // The cells outside rows are looked at only where nothing is shown.
  PageLines page = read_page_lines(received_text(body), false);
  answer.lines = std::move(page.lines);
  answer.unread_status_cell = page.unread_status_cell;
  answer.names = read_names(answer.lines, newcgi);
  bool has_names = false;
  for (const LineNames& names : answer.names) has_names = has_names || names.any();
  answer.verdict = check_page(received_body(body), !answer.lines.empty(), has_names);
  if (answer.verdict != PageVerdict::STATUS_PAGE) return answer;
  std::shared_ptr<const std::string> decoded;
  if (is_html_page(received_text(body))) decoded = decode_html_names(answer.names);
  answer.report = render_problems(answer.lines, answer.names, excludes);
  answer.report.decoded_names = std::move(decoded);
  if (answer.report.items.empty() && !answer.unread_status_cell)
    answer.unread_status_cell = read_page_lines(received_text(body), true).unread_status_cell;
  answer.verdict = check_calm(answer.verdict, answer.report.items.empty(), answer.report.unmatched,
                              answer.unread_status_cell);
  return answer;
}

Outcome outcome_of(Answer answer) {
  if (answer.verdict != PageVerdict::STATUS_PAGE) return {};
  Outcome shown;
  shown.banner = false;
  shown.report = std::move(answer.report);
  return shown;
}

void lay_out_outcome(const Outcome& shown, Frame& frame) {
  if (shown.banner && !shown.banner_text.empty())
    show_banner(frame, shown.banner_text);
  else if (shown.banner)
    show_no_connection(frame);
  else
    lay_out_report(shown.report, frame);
}

int lay_out_answer(const ReceiveBuffer& body, const ExcludeList& excludes, bool newcgi, Frame& frame) {
  const Outcome shown = outcome_of(read_answer(body, excludes, newcgi));
  lay_out_outcome(shown, frame);
  return shown.report.unmatched;
}

void print_no_match(int count) {
  for (int i = 0; i < count; ++i) std::fputs("No match!", stdout);
}

CycleEnd run_cycle(Program& program) {
  if (program.signals.stop) return CycleEnd::STOPPED;
  wclear(stdscr);
  if (!has_colors()) return CycleEnd::NO_COLOURS;
  // Colours and background are set up afresh at every pass.
  start_color();
  curs_set(0);
  set_palette();
  wbkgd(stdscr, COLOR_PAIR(colour_pair(NORMAL_ROLE)));
  const FetchResult fetched = fetch_problems(program.settings, program.body, &program.signals.stop);
  if (program.signals.stop) return CycleEnd::STOPPED;
  // The time a resize lays out again is that of this fetch, not its own.
  const std::time_t fetched_at = std::time(nullptr);
  program.shown =
      fetched.ok() ? outcome_of(read_answer(program.body, program.excludes, program.settings.newcgi)) : Outcome{};
  program.shown.fetched_at = fetched_at;
  print_no_match(program.shown.report.unmatched);
  // A report from stale status data is no current report.
  if (!program.shown.banner && program.settings.max_age) {
    std::optional<std::string> stale =
        data_age_banner(fetch_data_age(program.settings, &program.signals.stop).age, *program.settings.max_age);
    if (program.signals.stop) return CycleEnd::STOPPED;
    if (stale) program.shown = Outcome{true, {}, fetched_at, std::move(*stale)};
  }
  // A resize during the transfer: the page is laid out for the new size.
  take_resize(program);
  // The cleared screen is shown only now, so the previous frame stays up
  // during the transfer.
  show(program.shown, program.options);
  return wait_for_next_fetch(program);
}
