#pragma once
// Where a server's worker thread leaves each finished record for the main
// thread, and takes back a buffer for its next fetch. The page of a record
// stays in the buffer it was read into (the report's names point into it):
// the buffer goes to the main thread with the record, and the one the main
// thread showed until then comes back. Every wait of the worker ends at once
// when its stop is asked.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>

#include "fetch/status_fetch.h"
#include "refresh/outcome.h"

struct Mailbox {
  std::mutex lock;
  std::condition_variable_any changed;
  bool full = false;       // a record waits for the main thread
  Outcome outcome;         // the waiting record's
  ReceiveBuffer body;      // its page
  bool returned = false;   // a buffer is back for the next fetch
  ReceiveBuffer spare;     // that buffer
  std::optional<std::string> failure;  // what ended the worker, when it failed
  bool finished = false;   // the worker has returned
};

// The worker's side.

// Leaves a record and the buffer its page is in.
void hand_over(Mailbox& mailbox, Outcome outcome, ReceiveBuffer& body);
// Waits for the time given, unless the stop comes first; says whether the
// whole time passed.
bool pause_for(Mailbox& mailbox, std::chrono::milliseconds time, std::stop_token stop);
// Waits for the main thread to give back a buffer and takes it into body;
// false when the stop came first.
bool take_back(Mailbox& mailbox, ReceiveBuffer& body, std::stop_token stop);
// The worker ends, with what made it fail when it did.
void mark_finished(Mailbox& mailbox, std::optional<std::string> failure = std::nullopt);

// The main thread's side.

// Takes the waiting record, if any, its page into shown_body, and gives back
// the buffer shown until now: from here on only the record returned may be
// laid out.
std::optional<Outcome> take_record(Mailbox& mailbox, ReceiveBuffer& shown_body);
// What ended the worker, when it failed.
std::optional<std::string> failure_of(Mailbox& mailbox);
// Waits until the worker has returned or the deadline passes; says whether it returned.
bool wait_finished(Mailbox& mailbox, std::chrono::steady_clock::time_point deadline);
