#pragma once
// The flag that asks a transfer or the reading of a page to give up, looked
// at inside their long loops, so that a page built to be slow cannot keep
// the monitor from ending. Null where nothing can stop the work (tests,
// benchmarks, fuzzing): the work then runs whole.
#include <atomic>

// Set by another thread, or by a signal handler: a lock-free atomic is both
// race-free and safe to store into from a handler.
using StopFlag = const std::atomic<bool>*;
static_assert(std::atomic<bool>::is_always_lock_free);

inline bool stop_asked(StopFlag stop) { return stop && stop->load(std::memory_order_relaxed); }

// Loops look at the flag once every this many steps: a load and a branch
// now and then, well under a millisecond apart on any page.
inline constexpr unsigned STOP_CHECK_STEPS = 4096;
