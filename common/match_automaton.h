#pragma once
// Which of many patterns occur inside a text, ASCII letters compared without
// case (as find_ignoring_case does for one pattern), in one pass over the
// text whatever the number and the lengths of the patterns: an Aho-Corasick
// automaton over the case-folded patterns, built once.
//
// Unlike SubstringAutomaton, which only says whether any pattern occurs, it
// names every pattern found, each once per search: a search stops following
// a node's shorter matches at the first pattern it has already named, since
// that pattern's own shorter matches were named with it. So a search costs
// the text's length plus the number of patterns it names, even where
// patterns lie inside each other at every place of the text.
//
// Nodes are numbered breadth first, the children of a node being the
// consecutive nodes first_child[v] .. first_child[v + 1] - 1 in increasing
// order of their edge byte. The first nodes (the shallow ones, which a
// search keeps falling back to) have a row of 256 finished transitions, so
// that a failed step costs one look-up there instead of a walk.
#include <cstdint>
#include <string_view>
#include <vector>

#include "common/stop_flag.h"

inline constexpr std::uint32_t NO_PATTERN = UINT32_MAX;

struct MatchAutomaton {
  std::uint32_t empty_pattern = NO_PATTERN;    // an empty pattern, which occurs in every text
  std::vector<std::uint32_t> rows;              // 256 transitions for each of the first nodes
  std::vector<std::uint32_t> first_child;       // per node, and one past the last node
  std::vector<std::uint32_t> fail;              // longest proper suffix that is a node
  std::vector<unsigned char> label;             // folded byte on the edge into the node
  std::vector<std::uint32_t> pattern;           // the pattern spelled by the node, or NO_PATTERN
  std::vector<std::uint32_t> shorter;           // nearest proper suffix that spells a pattern, 0 for none
  std::size_t pattern_count = 0;
};

// Patterns are numbered by their place in patterns. Of patterns equal
// without regard to case only the first is ever named. The patterns' total
// length must stay under 4 GiB; the automaton keeps no text.
// When *stop turns non-zero the building ends early with an automaton
// that finds nothing; the caller, seeing the flag, throws the result away.
MatchAutomaton build_match_automaton(const std::vector<std::string_view>& patterns, StopFlag stop = nullptr);

// Appends to found the number of every pattern that occurs in text and whose
// named[pattern] is not yet stamp, and sets its named[pattern] to stamp.
// named has one entry per pattern; the same stamp over several texts names
// each pattern once among them all.
// When *stop turns non-zero the search ends early, having named only part.
void find_patterns(const MatchAutomaton& automaton, std::string_view text, std::vector<std::uint32_t>& named,
                   std::uint32_t stamp, std::vector<std::uint32_t>& found, StopFlag stop = nullptr);
