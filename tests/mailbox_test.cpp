// A server's worker and the main thread meet only in its mailbox: each record
// goes over with the buffer its page is in, the buffer shown until then comes
// back, and a stop ends every wait of the worker, whatever it waits for.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <unistd.h>

#include "app/mailbox.h"
#include "app/server_worker.h"
#include "config/config_file.h"
#include "config/server_list.h"
#include "fetch/status_fetch.h"

namespace {

using namespace std::chrono_literals;

// Long enough that a stop that failed to end a wait shows as a failure, not
// as a slow pass.
constexpr auto HANG = 30s;

ReceiveBuffer buffer_holding(const char* text) {
  ReceiveBuffer buffer = make_receive_buffer();
  buffer.length = std::strlen(text);
  std::memcpy(buffer.bytes.get(), text, buffer.length);
  return buffer;
}

bool finished_in_time(Mailbox& mailbox) { return wait_finished(mailbox, std::chrono::steady_clock::now() + HANG); }

TEST(Mailbox, ARecordGoesOverWithItsPageAndTheShownBufferComesBack) {
  Mailbox mailbox;
  ReceiveBuffer shown_body = buffer_holding("page shown");
  const char* const shown_bytes = shown_body.bytes.get();

  EXPECT_FALSE(take_record(mailbox, shown_body)) << "nothing handed over yet";

  ReceiveBuffer fetched = buffer_holding("page fetched");
  const char* const fetched_bytes = fetched.bytes.get();
  Outcome outcome;
  outcome.banner = false;
  outcome.fetched_at = 42;
  hand_over(mailbox, std::move(outcome), fetched);

  const std::optional<Outcome> taken = take_record(mailbox, shown_body);
  ASSERT_TRUE(taken);
  EXPECT_FALSE(taken->banner);
  EXPECT_EQ(taken->fetched_at, 42);
  // The page itself, not a copy: the report's names point into it.
  EXPECT_EQ(shown_body.bytes.get(), fetched_bytes);
  EXPECT_EQ(received_body(shown_body), "page fetched");
  EXPECT_FALSE(take_record(mailbox, shown_body)) << "a record is taken once";

  ReceiveBuffer next;
  std::stop_source never;
  ASSERT_TRUE(take_back(mailbox, next, never.get_token()));
  EXPECT_EQ(next.bytes.get(), shown_bytes) << "the buffer shown until then is the one the worker fetches into next";
}

TEST(Mailbox, AStopEndsThePauseAndTheWaitForABuffer) {
  for (const bool in_pause : {true, false}) {
    SCOPED_TRACE(in_pause ? "in the pause" : "waiting for a buffer");
    Mailbox mailbox;
    std::jthread worker([&mailbox, in_pause](std::stop_token stop) {
      ReceiveBuffer body;
      const bool went_on = in_pause ? pause_for(mailbox, std::chrono::hours(1), stop) : take_back(mailbox, body, stop);
      mark_finished(mailbox, went_on ? std::optional<std::string>("the wait ended without the stop") : std::nullopt);
    });
    std::this_thread::sleep_for(20ms);  // into the wait, most of the time; either way the stop must end it
    worker.request_stop();
    ASSERT_TRUE(finished_in_time(mailbox));
    EXPECT_FALSE(failure_of(mailbox));
  }
}

// The real worker against a port where nothing listens: its first record is
// a banner; then it waits (the interval, or a buffer back) until the stop.
TEST(ServerWorker, HandsOverEachRecordAndStopsInEveryWait) {
  Server server;
  server.settings = parse_config("server http://127.0.0.1:1/cgi-bin/statuswml.cgi?style=uprobs\n");
  server.excludes = std::make_shared<const ExcludeList>();
  int pipe_ends[2];
  ASSERT_EQ(pipe(pipe_ends), 0);
  for (const auto interval : {std::chrono::seconds(3600), std::chrono::seconds(0)}) {
    SCOPED_TRACE(interval.count());
    Mailbox mailbox;
    ReceiveBuffer shown_body = make_receive_buffer();
    std::jthread worker(run_server_worker, std::cref(server), interval, std::ref(mailbox), pipe_ends[1]);
    char byte = 0;
    ASSERT_EQ(read(pipe_ends[0], &byte, 1), 1) << "a record wakes the main thread";
    const std::optional<Outcome> first = take_record(mailbox, shown_body);
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->banner) << "nothing listens there";
    worker.request_stop();
    ASSERT_TRUE(finished_in_time(mailbox));
    EXPECT_FALSE(failure_of(mailbox));
  }
  close(pipe_ends[0]);
  close(pipe_ends[1]);
}

}  // namespace
