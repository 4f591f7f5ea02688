#pragma once
// The clock of -u: the local time at which the fetch of the frame shown
// ended, as " HH:MM:SS ", for the end of the last row.
#include <array>
#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>

struct ClockText {
  std::array<char, 16> bytes{};
  std::size_t size = 0;
  std::string_view view() const { return {bytes.data(), size}; }
};

// " HH:MM:SS " (24-hour) of when in the local time zone; empty when the
// time cannot be converted.
ClockText clock_text(std::time_t when);

// The reason line under the banner: "REASON, since HH:MM:SS", since being
// the end of the first failed fetch of the run of failures; the reason
// alone when the time cannot be converted. When the cause changed within
// the run, cause_since dates the current one and the run's start follows:
// "REASON, since HH:MM:SS (no list since HH:MM:SS)".
std::string reason_since_text(std::string_view reason, std::time_t since, std::time_t cause_since = 0);
