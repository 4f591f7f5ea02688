#include "layout/clock_note.h"

ClockText clock_text(std::time_t when) {
  ClockText text;
  std::tm local = {};
  if (!localtime_r(&when, &local)) return text;
  text.size = std::strftime(text.bytes.data(), text.bytes.size(), " %H:%M:%S ", &local);
  return text;
}

namespace {

// "HH:MM:SS"; empty when the time cannot be converted.
std::string bare_clock(std::time_t when) {
  const ClockText clock = clock_text(when);
  // The clock's text carries a space at either end.
  return clock.size > 2 ? std::string(clock.view().substr(1, clock.size - 2)) : std::string();
}

}  // namespace

std::string reason_since_text(std::string_view reason, std::time_t since, std::time_t cause_since) {
  std::string text(reason);
  const std::string run = bare_clock(since);
  const std::string cause = cause_since != 0 && cause_since != since ? bare_clock(cause_since) : std::string();
  if (!cause.empty() && !run.empty())
    text.append(", since ").append(cause).append(" (no list since ").append(run).append(")");
  else if (!run.empty())
    text.append(", since ").append(run);
  return text;
}
