#pragma once
// The clock of -u: the local time at which the fetch of the frame shown
// ended, as " HH:MM:SS ", for the end of the last row.
#include <array>
#include <cstddef>
#include <ctime>
#include <string_view>

struct ClockText {
  std::array<char, 16> bytes{};
  std::size_t size = 0;
  std::string_view view() const { return {bytes.data(), size}; }
};

// " HH:MM:SS " (24-hour) of when in the local time zone; empty when the
// time cannot be converted.
ClockText clock_text(std::time_t when);
