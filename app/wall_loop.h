#pragma once
// The wall, for one server or many: a worker thread per server runs its
// refreshes and hands each record over; the main thread alone waits on the
// terminal, the signals and the records, lays out the screen and touches
// curses. A slow or hung server holds back nothing but its own thread, and a
// resize is drawn at once whatever any server is doing.
#include <chrono>
#include <ctime>
#include <memory>
#include <span>
#include <thread>
#include <vector>

#include "app/mailbox.h"
#include "fetch/status_fetch.h"
#include "refresh/outcome.h"

struct Options;
struct Server;
struct SignalFlags;

// One server on the wall: its mailbox (shared with its worker) and what the
// main thread shows of it.
struct ServerPane {
  std::unique_ptr<Mailbox> mailbox = std::make_unique<Mailbox>();
  ReceiveBuffer shown_body;  // the page shown: the outcome's names point into it
  Outcome shown;
  bool answered = false;
  std::time_t waiting_since = 0;  // when the wait for its first answer began
};

// Built in main; it must outlive every worker, so the wall is never
// destroyed while one runs (main ends the process instead, or stops and
// joins them first).
struct Wall {
  std::span<const Server> servers;
  const Options& options;
  SignalFlags& signals;
  std::vector<ServerPane> panes;
  // Last: destroyed first, which asks each worker to stop and joins it.
  std::vector<std::jthread> workers;
};

enum class WallEnd {
  NO_COLOURS,  // the terminal has no colours: nothing was started
  STOPPED,     // a signal asked to end, or the terminal is gone
};

// Shows the servers, in their order, until a signal or the terminal's going
// ends it, or at once when the terminal has no colours. Call with curses
// started and the signals caught. A worker's failure comes out as an
// exception carrying its words.
WallEnd run_wall(Wall& wall);

// Asks every worker to stop, and joins those that end within grace (at
// once, unless one is inside a transfer's step); says whether all did.
bool stop_workers(Wall& wall, std::chrono::milliseconds grace);

// Says "No match!" once for each problem line that yields no name.
void print_no_match(int count);
