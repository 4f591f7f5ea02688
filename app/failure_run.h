#pragma once
// The dates -u shows under a failing server's banner, carried from one
// record of a server to its next.
struct Outcome;

// A run of failures is dated from its first failed fetch, its current cause
// from the first fetch that gave it: next takes them from previous (the
// server's outcome shown until now; nullptr before its first) while the run
// goes on, or starts them at its own fetch.
void date_failure_run(Outcome& next, const Outcome* previous);
