#include "app/refresh_cycle.h"

#include <cstdio>
#include <ctime>
#include <string>
#include <unistd.h>

#include "app/curses_screen.h"
#include "app/program.h"
#include "app/refresh_record.h"
#include "common/frame.h"
#include "report/banner.h"
#include "report/clock_note.h"
#include "report/hidden_note.h"
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
  const std::string reason =
      options.show_clock && shown.banner ? reason_since_text(shown.reason, shown.failing_since) : std::string();
  show_reason_line(frame, reason);
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

void lay_out_outcome(const Outcome& shown, Frame& frame) {
  if (shown.banner && !shown.banner_text.empty())
    show_banner(frame, shown.banner_text);
  else if (shown.banner)
    show_no_connection(frame);
  else
    lay_out_report(shown.report, frame);
}

int lay_out_answer(const ReceiveBuffer& body, const ExcludeList& excludes, bool newcgi, Frame& frame) {
  const RefreshRecord record = read_refresh({}, {}, body, excludes, newcgi);
  lay_out_outcome(record.outcome, frame);
  return record.outcome.report.unmatched;
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
  RefreshRecord record = refresh(program, &program.signals.stop);
  if (program.signals.stop) return CycleEnd::STOPPED;
  print_no_match(record.outcome.report.unmatched);
  // A run of failures is dated from its first failed fetch.
  if (record.outcome.banner)
    record.outcome.failing_since = program.shown.banner && program.shown.failing_since ? program.shown.failing_since
                                                                                       : record.outcome.fetched_at;
  program.shown = std::move(record.outcome);
  // A resize during the transfer: the page is laid out for the new size.
  take_resize(program);
  // The cleared screen is shown only now, so the previous frame stays up
  // during the transfer.
  show(program.shown, program.options);
  return wait_for_next_fetch(program);
}
