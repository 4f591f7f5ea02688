#include "common/age_text.h"

std::string age_text(std::int64_t seconds) {
  if (seconds < 0) return "?";
  constexpr std::int64_t MINUTE = 60, HOUR = 60 * MINUTE, DAY = 24 * HOUR, WEEK = 7 * DAY;
  if (seconds < MINUTE) return std::to_string(seconds) + "s";
  if (seconds < HOUR) return std::to_string(seconds / MINUTE) + "m";
  if (seconds < 48 * HOUR) return std::to_string(seconds / HOUR) + "h";
  if (seconds < 14 * DAY) return std::to_string(seconds / DAY) + "d";
  const std::int64_t weeks = seconds / WEEK;
  return std::to_string(weeks > 999 ? 999 : weeks) + "w";
}

