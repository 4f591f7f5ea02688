#pragma once
// The signals orvek acts on, caught as flags that the wall's loop reads. A
// handler only sets its flag and writes a byte into a pipe the loop waits
// on, so that neither curses nor libcurl is ever entered from one.
#include <atomic>

struct SignalFlags {
  std::atomic<bool> stop{false};     // SIGHUP, SIGINT, SIGQUIT or SIGTERM came: end
  std::atomic<bool> resized{false};  // SIGWINCH came: the terminal may have a new size
  // A pipe each handler writes a byte into, so that the loop's wait wakes up
  // whichever thread the signal was delivered to.
  int wake_read = -1;
  int wake_write = -1;
};

// Catches SIGHUP, SIGINT, SIGQUIT and SIGTERM into flags.stop and SIGWINCH into
// flags.resized, each only while its disposition is still the default, as
// curses does with its own handlers (which it then leaves out): a signal
// ignored by whoever started orvek, as under nohup, stays ignored. Call
// before initscr; flags must outlive the program's run. Returns false when
// the wake-up pipe cannot be made; nothing is caught then.
bool catch_signals(SignalFlags& flags);

// A peer that closes a connection (or a reader of standard output that goes
// away) makes a write fail, never ends the program. Call before any thread
// starts, so that every thread inherits it.
void ignore_broken_pipes();
