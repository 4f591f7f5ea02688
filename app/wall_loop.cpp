#include "app/wall_loop.h"

#include <cstdio>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <system_error>
#include <unistd.h>
#include <utility>

#include "app/curses_screen.h"
#include "app/failure_run.h"
#include "app/server_worker.h"
#include "app/signals.h"
#include "config/command_line.h"
#include "config/server_list.h"
#include "layout/frame.h"
#include "layout/frame_composition.h"

namespace {

// curses draws on standard output.
constexpr int TERMINAL_FD = STDOUT_FILENO;

void drain(int fd) {
  char bytes[64];
  while (fd >= 0 && read(fd, bytes, sizeof bytes) > 0) {
  }
}

// Lays out what is shown of every server for the terminal's current size
// and shows it.
void show(const Wall& wall) {
  std::vector<ServerView> views;
  views.reserve(wall.panes.size());
  for (std::size_t i = 0; i < wall.panes.size(); ++i) {
    const ServerPane& pane = wall.panes[i];
    views.push_back({wall.servers[i].name, pane.answered ? &pane.shown : nullptr, pane.waiting_since,
                     wall.servers[i].exclude_fault});
  }
  wclear(stdscr);
  wbkgd(stdscr, COLOR_PAIR(colour_pair(NORMAL_ROLE)));
  Frame frame(LINES, COLS);
  compose_frame(views, wall.options, frame);
  paint_frame(frame);
  wrefresh(stdscr);
}

// Takes a new terminal size if one came, and says whether it did.
bool take_resize(SignalFlags& signals) {
  // Cleared before the size is read: a signal after this is seen next time.
  if (!signals.resized.exchange(false)) return false;
  return follow_terminal_size(TERMINAL_FD);
}

// Takes the server's waiting record, if any, into what is shown; says
// whether one was waiting. A worker that failed ends the wall.
bool take_news(ServerPane& pane) {
  if (std::optional<std::string> failure = failure_of(*pane.mailbox)) throw std::runtime_error(*failure);
  std::optional<Outcome> next = take_record(*pane.mailbox, pane.shown_body);
  if (!next) return false;
  date_failure_run(*next, pane.answered ? &pane.shown : nullptr);
  pane.shown = std::move(*next);
  pane.answered = true;
  print_no_match(pane.shown.report.unmatched);
  return true;
}

void start_workers(Wall& wall) {
  const std::chrono::seconds interval(wall.options.refresh_interval);
  wall.workers.reserve(wall.servers.size());
  for (std::size_t i = 0; i < wall.servers.size(); ++i) {
    try {
      wall.workers.emplace_back(run_server_worker, std::cref(wall.servers[i]), interval,
                                std::ref(*wall.panes[i].mailbox), wall.signals.wake_write);
    } catch (const std::system_error& error) {
      throw std::runtime_error("cannot start a thread for server " + std::to_string(i + 1) + " of " +
                               std::to_string(wall.servers.size()) + ": " + error.what());
    }
  }
}

}  // namespace

void print_no_match(int count) {
  for (int i = 0; i < count; ++i) std::fputs("No match!", stdout);
}

WallEnd run_wall(Wall& wall) {
  wclear(stdscr);
  if (!has_colors()) return WallEnd::NO_COLOURS;
  start_color();
  curs_set(0);
  set_palette();
  const std::time_t started = std::time(nullptr);
  wall.panes.resize(wall.servers.size());
  for (ServerPane& pane : wall.panes) {
    pane.shown_body = make_receive_buffer();
    pane.waiting_since = started;
  }
  // Before any answer: black, or with -u what the layout says of servers
  // still awaited.
  show(wall);
  start_workers(wall);
  for (;;) {
    // Bytes written before this look are taken with it; a signal or a record
    // after it leaves a byte that ends the wait below at once.
    drain(wall.signals.wake_read);
    if (wall.signals.stop.load()) return WallEnd::STOPPED;
    bool changed = take_resize(wall.signals);
    for (ServerPane& pane : wall.panes) changed = take_news(pane) || changed;
    if (changed) show(wall);
    // No events asked of the output: poll reports a hang-up or an error anyway.
    pollfd watched[2] = {{TERMINAL_FD, 0, 0}, {wall.signals.wake_read, POLLIN, 0}};
    if (poll(watched, 2, -1) > 0 && (watched[0].revents & (POLLHUP | POLLERR | POLLNVAL))) return WallEnd::STOPPED;
  }
}

bool stop_workers(Wall& wall, std::chrono::milliseconds grace) {
  for (std::jthread& worker : wall.workers) worker.request_stop();
  const auto deadline = std::chrono::steady_clock::now() + grace;
  bool all = true;
  for (std::size_t i = 0; i < wall.workers.size(); ++i) {
    if (wait_finished(*wall.panes[i].mailbox, deadline)) {
      if (wall.workers[i].joinable()) wall.workers[i].join();
    } else {
      all = false;
    }
  }
  return all;
}
