#pragma once
// A problem's time in its state as the end of its row shows it: one to three
// digits and a unit, the largest unit that keeps the number readable.
#include <cstdint>
#include <string>

#include "report/report.h"

// "45s", "12m", "3h", "47h" (hours under 48 h), "9d" (days under 14 d),
// "5w"; "?" when unknown (below 0). Past 999 weeks it stays "999w".
std::string age_text(std::int64_t seconds);

// What the end of an item's row shows: a SOFT problem's attempt before its
// age ("1/3 30s"), the age alone when asked for, the attempt alone without
// ages; empty when there is nothing to show.
std::string detail_end_text(const ItemDetail& detail, bool ages);
