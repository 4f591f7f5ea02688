#include "app/servers_cycle.h"

#include <chrono>
#include <condition_variable>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <utility>

#include "app/curses_screen.h"
#include "app/failure_run.h"
#include "app/signals.h"
#include "layout/frame.h"
#include "layout/frame_composition.h"
#include "refresh/refresh_record.h"

// Each server is fetched by a thread of its own that runs the same blocking
// refresh() as the wall of one server, with its bounds, its stop flag and
// its tests; a hung server then blocks its own thread only. The threads
// hand each finished record to the main thread through a mailbox, and the
// main thread alone lays out the screen and touches curses.

namespace {

// curses draws on standard output.
constexpr int TERMINAL_FD = STDOUT_FILENO;

// Where a server's thread leaves a finished record for the main thread. The
// page of a record stays in the buffer it was read into (the report's names
// point into it): the buffer goes to the main thread with the record, and
// the one the main thread showed until then comes back for the next fetch.
struct Mailbox {
  std::mutex lock;
  std::condition_variable buffer_back;
  bool full = false;          // a record waits for the main thread
  Outcome outcome;            // the waiting record's
  ReceiveBuffer body;         // its page
  bool returned = false;      // a buffer is back for the next fetch
  ReceiveBuffer spare;        // that buffer
};

struct ServerState {
  WallServer* server = nullptr;  // its program belongs to its thread once started
  Mailbox mailbox;
  // The main thread's: what is shown of the server.
  ReceiveBuffer shown_body;
  Outcome shown;
  bool answered = false;
  std::time_t waiting_since = 0;
};

// A pipe each thread writes a byte into when it leaves a record, so that
// the main thread's wait wakes up.
struct WakePipe {
  int read_end = -1;
  int write_end = -1;
};

WakePipe make_wake_pipe() {
  int ends[2];
  if (pipe(ends) != 0) return {};
  for (const int end : ends) {
    fcntl(end, F_SETFL, fcntl(end, F_GETFL) | O_NONBLOCK);
    fcntl(end, F_SETFD, fcntl(end, F_GETFD) | FD_CLOEXEC);
  }
  return {ends[0], ends[1]};
}

void drain(int fd) {
  char bytes[64];
  while (fd >= 0 && read(fd, bytes, sizeof bytes) > 0) {
  }
}

// A server's thread: fetch, hand over, wait the interval, take back a
// buffer, fetch again: at most one transfer of the server at a time, and
// the interval between the end of one and the start of the next, as with
// one server.
void fetch_server(ServerState& state, StopFlag stop, int wake_write) {
  Program& program = state.server->program;
  Mailbox& mailbox = state.mailbox;
  for (;;) {
    RefreshRecord record = refresh(program, stop);
    if (stop_asked(stop)) return;
    {
      const std::lock_guard<std::mutex> held(mailbox.lock);
      mailbox.outcome = std::move(record.outcome);
      mailbox.body = std::move(program.body);
      mailbox.full = true;
    }
    const char byte = 1;
    // A full pipe already wakes the main thread.
    [[maybe_unused]] const ssize_t written = write(wake_write, &byte, 1);
    std::this_thread::sleep_for(std::chrono::seconds(program.options.refresh_interval));
    std::unique_lock<std::mutex> held(mailbox.lock);
    mailbox.buffer_back.wait(held, [&mailbox] { return mailbox.returned; });
    program.body = std::move(mailbox.spare);
    mailbox.returned = false;
  }
}

// Takes the server's waiting record, if any, into what is shown, and gives
// back the buffer shown until now. Says whether a record was waiting.
bool take_record(ServerState& state) {
  Mailbox& mailbox = state.mailbox;
  {
    const std::lock_guard<std::mutex> held(mailbox.lock);
    if (!mailbox.full) return false;
    date_failure_run(mailbox.outcome, state.answered ? &state.shown : nullptr);
    state.shown = std::move(mailbox.outcome);
    std::swap(state.shown_body, mailbox.body);
    mailbox.spare = std::move(mailbox.body);
    mailbox.full = false;
    mailbox.returned = true;
  }
  mailbox.buffer_back.notify_one();
  state.answered = true;
  print_no_match(state.shown.report.unmatched);
  return true;
}

// Lays out what is shown of every server for the terminal's current size
// and shows it.
void show(const std::vector<std::unique_ptr<ServerState>>& states, const Options& options) {
  std::vector<ServerView> views;
  views.reserve(states.size());
  for (const auto& state : states)
    views.push_back({state->server->name, state->answered ? &state->shown : nullptr, state->waiting_since});
  wclear(stdscr);
  wbkgd(stdscr, COLOR_PAIR(colour_pair(NORMAL_ROLE)));
  Frame frame(LINES, COLS);
  compose_frame(views, options, frame);
  paint_frame(frame);
  wrefresh(stdscr);
}

// Takes a new terminal size if one came, and says whether it did.
bool take_resize(SignalFlags& signals) {
  if (!signals.resized) return false;
  // Cleared before the size is read: a signal after this is seen next time.
  signals.resized = 0;
  return follow_terminal_size(TERMINAL_FD);
}

}  // namespace

CycleEnd run_servers(std::vector<WallServer>& servers, SignalFlags& signals) {
  wclear(stdscr);
  if (!has_colors()) return CycleEnd::NO_COLOURS;
  start_color();
  curs_set(0);
  set_palette();
  const WakePipe records = make_wake_pipe();
  std::vector<std::unique_ptr<ServerState>> states;
  const std::time_t started = std::time(nullptr);
  for (WallServer& server : servers) {
    auto state = std::make_unique<ServerState>();
    state->server = &server;
    state->shown_body = make_receive_buffer();
    server.program.body = make_receive_buffer();
    state->waiting_since = started;
    states.push_back(std::move(state));
  }
  const Options& options = servers.front().program.options;
  show(states, options);
  // Never joined: a thread may be inside a transfer when a signal ends the
  // program, which then ends without waiting for it.
  for (auto& state : states) std::thread(fetch_server, std::ref(*state), &signals.stop, records.write_end).detach();
  for (;;) {
    // Bytes written before this look are taken with it; a signal or a record
    // after it leaves a byte that ends the wait below at once.
    drain(signals.wake_read);
    drain(records.read_end);
    if (signals.stop) return CycleEnd::STOPPED;
    bool changed = take_resize(signals);
    for (auto& state : states) changed = take_record(*state) || changed;
    if (changed) show(states, options);
    // No events asked of the output: poll reports a hang-up or an error anyway.
    pollfd watched[3] = {{TERMINAL_FD, 0, 0}, {signals.wake_read, POLLIN, 0}, {records.read_end, POLLIN, 0}};
    if (poll(watched, 3, -1) > 0 && (watched[0].revents & (POLLHUP | POLLERR | POLLNVAL)))
      return CycleEnd::STOPPED;
  }
}
