#pragma once
// Everything a frame of the wall holds, laid out in one place: each server's
// report or banner, the reasons of -u and the last row's notes (the unread
// rows, -u's clock and servers, -m's count). The refresh cycle, the frame
// benchmark and the frame fuzz target all compose their frames here, so the
// last two time and try the frame the wall shows.
#include <ctime>
#include <span>
#include <string_view>

struct Frame;
struct Options;
struct Outcome;

// One server as the wall shows it.
struct ServerView {
  std::string_view name;           // the section's name; empty for a file without sections
  const Outcome* shown = nullptr;  // its last record's outcome; nullptr until its first answer
  std::time_t waiting_since = 0;   // when the wall began waiting for its first answer
  bool exclude_fault = false;      // its own exclude file (a section's) could not be used
};

// Lays out into frame what the screen shows of servers, in their order, with
// the notes that options ask for (-m, -u).
// One server: its report or its banner (and with -u the reason under it);
// before its first answer nothing, or with -u the last row's
// " waiting for the server since HH:MM:SS".
// Several: each server that has something to say under a header of its own
// (the failing ones' banner words first, then the others' problems), one
// after another down the report's columns; a calm server, or one that has
// not answered, takes no room. When every server fails, their banner when
// its words are shared, or each one's words on a line of its own; with -u
// each one's reason. With -u the last row names the servers at its left in
// the colours of their state. While the last row holds notes, nothing of any
// server is laid out in it.
// The labels point into the outcomes' pages and into the frame's own texts.
void compose_frame(std::span<const ServerView> servers, const Options& options, Frame& frame);
