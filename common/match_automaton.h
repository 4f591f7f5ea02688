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
// Nodes are numbered breadth first, the children of a node being
// consecutive nodes in increasing order of their edge byte. Each node is one
// 16-byte record holding all a step needs (its children, its first child's
// byte, its fail link, its matches), so that following a long pattern costs
// one cache line per byte: on pages of long names the automaton has millions
// of nodes, far more than the caches hold. The first nodes (the shallow
// ones, which a search keeps falling back to) also have a row of 256
// finished transitions, so that a failed step costs one look-up there
// instead of a walk.
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "common/stop_flag.h"

inline constexpr std::uint32_t NO_PATTERN = UINT32_MAX;

struct MatchNode {
  std::uint32_t first_child = 0;  // the children are first_child .. first_child + children - 1
  std::uint32_t fail = 0;         // longest proper suffix that is a node
  std::uint32_t match = NO_PATTERN;  // the node's or its nearest suffix's entry of matches, or NO_PATTERN
  std::uint16_t children = 0;
  unsigned char first_label = 0;  // folded byte on the edge into the first child
  unsigned char label = 0;        // folded byte on the edge into the node
};

// A pattern spelled by a node, and the entry of the nearest proper suffix
// of that node that spells one (NO_PATTERN for none).
struct PatternMatch {
  std::uint32_t pattern;
  std::uint32_t shorter;
};

struct MatchAutomaton {
  std::uint32_t empty_pattern = NO_PATTERN;  // an empty pattern, which occurs in every text
  std::vector<std::uint32_t> rows;            // 256 transitions for each of the first nodes
  std::vector<MatchNode> nodes;
  std::vector<PatternMatch> matches;          // one per node that spells a pattern
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

// Calls found(end, pattern) for every end (one past a byte of text) at which
// a pattern ends, in increasing order of end, with the longest pattern
// ending there: the shorter ones lie inside it. One pass over the text,
// one call per end at most. The empty pattern is never reported.
void find_longest_ends(const MatchAutomaton& automaton, std::string_view text,
                       const std::function<void(std::size_t end, std::uint32_t pattern)>& found);
