#pragma once
// The flag a signal handler sets to end the monitor, looked at inside the
// long loops of reading a page, so that a page built to be slow cannot keep
// the monitor from ending. Null where nothing can stop the work (tests,
// benchmarks, fuzzing): the work then runs whole, as before.
#include <csignal>

using StopFlag = const volatile std::sig_atomic_t*;

inline bool stop_asked(StopFlag stop) { return stop && *stop; }

// Loops look at the flag once every this many steps: a load and a branch
// now and then, well under a millisecond apart on any page.
inline constexpr unsigned STOP_CHECK_STEPS = 4096;
