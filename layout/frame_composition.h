#pragma once
// Everything a frame of the wall holds, laid out in one place: the report or
// the banner, the reason under the banner (-u) and the last row's notes (the
// unread rows, -u's clock, -m's count). The refresh cycle, the frame
// benchmark and the frame fuzz target all compose their frames here, so the
// last two time and try the frame the wall shows.
#include <span>

struct Frame;
struct Options;
struct Outcome;

// Lays out into frame what the screen shows of records (outcomes), one for
// each server, with the notes that options ask for (-m, -u). The wall shows
// one server yet: the frame is the first record's (empty without one); how
// several share the screen comes with them. The labels point into the
// records' pages and into the frame's own texts.
void compose_frame(std::span<const Outcome> records, const Options& options, Frame& frame);
