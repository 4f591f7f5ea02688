#pragma once
// A problem's time in its state as the end of its row shows it (and orvek
// -t says it): one to three digits and a unit, the largest unit that keeps
// the number readable.
#include <cstdint>
#include <string>

// "45s", "12m", "3h", "47h" (hours under 48 h), "9d" (days under 14 d),
// "5w"; "?" when unknown (below 0). Past 999 weeks it stays "999w".
std::string age_text(std::int64_t seconds);
