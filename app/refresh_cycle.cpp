#include "app/refresh_cycle.h"

#include <cstdio>
#include <ctime>
#include <span>
#include <unistd.h>
#include <utility>

#include "app/curses_screen.h"
#include "app/failure_run.h"
#include "app/wall.h"
#include "layout/frame.h"
#include "layout/frame_composition.h"
#include "refresh/refresh_record.h"

namespace {

// curses draws on standard output.
constexpr int TERMINAL_FD = STDOUT_FILENO;

// Lays out what is shown for the terminal's current size and shows it:
// before the first answer, what the layout says of a server still awaited.
void show(const Wall& wall, const Outcome* shown) {
  const ServerView view{{}, shown, wall.waiting_since};
  Frame frame(LINES, COLS);
  compose_frame(std::span(&view, 1), wall.program.options, frame);
  paint_frame(frame);
  wrefresh(stdscr);
}

// Takes a new terminal size if one came, and says whether it did.
bool take_resize(Wall& wall) {
  if (!wall.signals.resized) return false;
  // Cleared before the size is read: a signal after this is seen next time.
  wall.signals.resized = 0;
  return follow_terminal_size(TERMINAL_FD);
}

// Shows again what is shown, laid out for the terminal's size.
void show_again(Wall& wall) {
  wclear(stdscr);
  wbkgd(stdscr, COLOR_PAIR(colour_pair(NORMAL_ROLE)));
  show(wall, &wall.shown);
}

// Sleeps until the next fetch is due, drawing what is shown again whenever
// the terminal takes a new size: a resize neither shortens nor lengthens the
// wait.
CycleEnd wait_for_next_fetch(Wall& wall) {
  const timespec deadline = monotonic_deadline(wall.program.options.refresh_interval);
  for (;;) {
    if (wall.signals.stop) return CycleEnd::STOPPED;
    if (take_resize(wall)) {
      show_again(wall);
      continue;
    }
    switch (wait_until(deadline, TERMINAL_FD, wall.signals)) {
      case WaitEnd::DEADLINE: return CycleEnd::GO_ON;
      case WaitEnd::OUTPUT_GONE: return CycleEnd::STOPPED;
      case WaitEnd::SIGNAL: break;
    }
  }
}

}  // namespace

void print_no_match(int count) {
  for (int i = 0; i < count; ++i) std::fputs("No match!", stdout);
}

CycleEnd run_cycle(Wall& wall) {
  Program& program = wall.program;
  if (wall.signals.stop) return CycleEnd::STOPPED;
  wclear(stdscr);
  if (!has_colors()) return CycleEnd::NO_COLOURS;
  // Colours and background are set up afresh at every pass.
  start_color();
  curs_set(0);
  set_palette();
  wbkgd(stdscr, COLOR_PAIR(colour_pair(NORMAL_ROLE)));
  // The page shown stays whole in its buffer while the next is fetched and
  // read, so that a resize meanwhile is drawn at once from it.
  std::swap(program.body, wall.shown_body);
  wall.signals.reading_interrupted = 0;
  const ReadingPause pause{&wall.signals.reading_interrupted, [&wall] {
                             wall.signals.reading_interrupted = 0;
                             if (take_resize(wall)) show_again(wall);
                           }};
  // Before the first page nothing is shown that a resize could lay out again.
  const bool shown_once = wall.shown.fetched_at != 0;
  // -u tells that the first answer is awaited, so that a server that does
  // not answer is not taken for the all-clear.
  if (!shown_once && program.options.show_clock) {
    wall.waiting_since = std::time(nullptr);
    show(wall, nullptr);
  }
  RefreshRecord record = refresh(program, &wall.signals.stop, false, nullptr, shown_once ? &pause : nullptr);
  if (wall.signals.stop) return CycleEnd::STOPPED;
  print_no_match(record.outcome.report.unmatched);
  date_failure_run(record.outcome, &wall.shown);
  wall.shown = std::move(record.outcome);
  // A resize during the transfer: the page is laid out for the new size.
  take_resize(wall);
  // The cleared screen is shown only now, so the previous frame stays up
  // during the transfer (and is drawn again by a resize meanwhile, which is
  // why the screen is cleared again here).
  show_again(wall);
  return wait_for_next_fetch(wall);
}
