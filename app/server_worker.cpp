#include "app/server_worker.h"

#include <atomic>
#include <exception>
#include <new>
#include <string>
#include <unistd.h>
#include <utility>

#include "app/mailbox.h"
#include "config/server_list.h"
#include "refresh/refresh_record.h"

namespace {

void wake(int fd) {
  const char byte = 1;
  // A full pipe already wakes the main thread.
  [[maybe_unused]] const ssize_t written = write(fd, &byte, 1);
}

void refresh_until_stopped(std::stop_token stop, const Server& server, std::chrono::seconds interval,
                           Mailbox& mailbox, int wake_fd) {
  // The refresh's loops look at a plain atomic flag; the stop sets it from
  // whichever thread asks.
  std::atomic<bool> stopping{false};
  const std::stop_callback on_stop(stop, [&stopping] { stopping.store(true); });
  ReceiveBuffer body = make_receive_buffer();
  for (;;) {
    RefreshRecord record = refresh({.settings = server.settings, .excludes = *server.excludes, .body = body,
                                    .stop = &stopping});
    if (stop.stop_requested()) return;
    hand_over(mailbox, std::move(record.outcome), body);
    wake(wake_fd);
    if (!pause_for(mailbox, interval, stop) || !take_back(mailbox, body, stop)) return;
  }
}

}  // namespace

void run_server_worker(std::stop_token stop, const Server& server, std::chrono::seconds interval, Mailbox& mailbox,
                       int wake_fd) {
  std::optional<std::string> failure;
  try {
    refresh_until_stopped(stop, server, interval, mailbox, wake_fd);
  } catch (const std::bad_alloc&) {
    failure = "out of memory";
  } catch (const std::exception& error) {
    failure = error.what();
  }
  const bool failed = failure.has_value();
  mark_finished(mailbox, std::move(failure));
  if (failed) wake(wake_fd);
}
