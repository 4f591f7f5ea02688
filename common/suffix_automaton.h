#pragma once
// Whether a text lies inside any of a few texts, ASCII letters compared
// without case, in one step per byte of the text asked about: the suffix
// automaton of the case-folded texts (each state a set of their substrings
// that end at the same places), built once in time and space linear in the
// texts' length times their alphabet. It suits many long questions about a
// few short texts, where an automaton over the questions would cost their
// length to build.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "common/stop_flag.h"

struct SuffixAutomaton {
  static constexpr std::uint16_t NO_COLUMN = UINT16_MAX;
  std::array<std::uint16_t, 256> column{};  // per folded byte its column, or NO_COLUMN when no text holds it
  std::size_t columns = 0;                  // a column per byte held, and one that parts the texts
  std::vector<std::uint32_t> next;          // next[state * columns + column], 0 for none (no step leads back to the start)
};

// The transition table's cells that build_suffix_automaton would fill for
// texts: to weigh it before building.
std::size_t suffix_automaton_cells(const std::vector<std::string_view>& texts);

// When *stop turns non-zero the building ends early with an automaton that
// finds only part; the caller, seeing the flag, throws the result away.
SuffixAutomaton build_suffix_automaton(const std::vector<std::string_view>& texts, StopFlag stop = nullptr);

// text occurs inside one of the automaton's texts, without regard to case.
bool inside_any(const SuffixAutomaton& automaton, std::string_view text);
