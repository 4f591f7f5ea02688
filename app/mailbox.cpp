#include "app/mailbox.h"

#include <utility>

void hand_over(Mailbox& mailbox, Outcome outcome, ReceiveBuffer& body) {
  {
    const std::lock_guard<std::mutex> held(mailbox.lock);
    mailbox.outcome = std::move(outcome);
    mailbox.body = std::move(body);
    mailbox.full = true;
  }
  mailbox.changed.notify_all();
}

bool pause_for(Mailbox& mailbox, std::chrono::milliseconds time, std::stop_token stop) {
  std::unique_lock<std::mutex> held(mailbox.lock);
  // Nothing but the stop ends the pause early.
  mailbox.changed.wait_for(held, stop, time, [] { return false; });
  return !stop.stop_requested();
}

bool take_back(Mailbox& mailbox, ReceiveBuffer& body, std::stop_token stop) {
  std::unique_lock<std::mutex> held(mailbox.lock);
  if (!mailbox.changed.wait(held, stop, [&mailbox] { return mailbox.returned; })) return false;
  body = std::move(mailbox.spare);
  mailbox.returned = false;
  return true;
}

void mark_finished(Mailbox& mailbox, std::optional<std::string> failure) {
  {
    const std::lock_guard<std::mutex> held(mailbox.lock);
    mailbox.failure = std::move(failure);
    mailbox.finished = true;
  }
  mailbox.changed.notify_all();
}

std::optional<Outcome> take_record(Mailbox& mailbox, ReceiveBuffer& shown_body) {
  std::optional<Outcome> taken;
  {
    const std::lock_guard<std::mutex> held(mailbox.lock);
    if (!mailbox.full) return taken;
    taken = std::move(mailbox.outcome);
    std::swap(shown_body, mailbox.body);
    mailbox.spare = std::move(mailbox.body);
    mailbox.full = false;
    mailbox.returned = true;
  }
  mailbox.changed.notify_all();
  return taken;
}

std::optional<std::string> failure_of(Mailbox& mailbox) {
  const std::lock_guard<std::mutex> held(mailbox.lock);
  return mailbox.failure;
}

bool wait_finished(Mailbox& mailbox, std::chrono::steady_clock::time_point deadline) {
  std::unique_lock<std::mutex> held(mailbox.lock);
  return mailbox.changed.wait_until(held, deadline, [&mailbox] { return mailbox.finished; });
}
