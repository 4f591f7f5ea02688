#include "report/clock_note.h"

ClockText clock_text(std::time_t when) {
  ClockText text;
  std::tm local = {};
  if (!localtime_r(&when, &local)) return text;
  text.size = std::strftime(text.bytes.data(), text.bytes.size(), " %H:%M:%S ", &local);
  return text;
}

std::string reason_since_text(std::string_view reason, std::time_t since) {
  std::string text(reason);
  const ClockText clock = clock_text(since);
  // The clock's text carries a space at either end.
  if (clock.size > 2) text.append(", since ").append(clock.view().substr(1, clock.size - 2));
  return text;
}
