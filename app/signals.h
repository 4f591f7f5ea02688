#pragma once
// The signals orvek acts on, caught as flags that the refresh loop reads
// between its steps. A handler only sets its flag, so that neither curses
// nor libcurl is ever entered from one.
#include <csignal>
#include <ctime>

struct SignalFlags {
  volatile std::sig_atomic_t stop = 0;     // SIGHUP, SIGINT, SIGQUIT or SIGTERM came: end
  volatile std::sig_atomic_t resized = 0;  // SIGWINCH came: the terminal may have a new size
  // Set by every signal caught: a reading of a page ends early, so that the
  // screen follows a resize (or the monitor ends) without waiting for it.
  volatile std::sig_atomic_t reading_interrupted = 0;
  // A pipe each handler writes a byte into, so that a wait wakes up whichever
  // thread the signal was delivered to (libcurl may run one of its own).
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

enum class WaitEnd {
  DEADLINE,     // the deadline has passed
  SIGNAL,       // a flag is set (it may have been set before the call)
  OUTPUT_GONE,  // the output reports a hang-up or an error: the terminal is gone
};

// Sleeps until deadline (on CLOCK_MONOTONIC) unless a caught signal comes
// first or output_fd hangs up. A signal caught since the last wait ends it
// at once. When the deadline has passed it returns at once, after looking at
// output_fd once.
WaitEnd wait_until(const timespec& deadline, int output_fd, const SignalFlags& flags);

// Now plus seconds, on CLOCK_MONOTONIC.
timespec monotonic_deadline(unsigned long seconds);
