#include "report/clock_note.h"

ClockText clock_text(std::time_t when) {
  ClockText text;
  std::tm local = {};
  if (!localtime_r(&when, &local)) return text;
  text.size = std::strftime(text.bytes.data(), text.bytes.size(), " %H:%M:%S ", &local);
  return text;
}
