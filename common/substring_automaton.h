#pragma once
// Whether any of many patterns occurs inside a text, ASCII letters compared
// without case (as contains_ignoring_case does for one pattern), in one pass
// over the text whatever the number of patterns: an Aho-Corasick automaton
// over the case-folded patterns, built once.
//
// Nodes are numbered breadth first, so the children of a node are the
// consecutive nodes first_child[v] .. first_child[v + 1] - 1, in increasing
// order of their edge byte; no node holds a table of 256 transitions, only
// the root (which every search keeps returning to) does. A node whose text
// ends with a pattern is a hit and gets no children, as a search stops there.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct SubstringAutomaton {
  bool matches_everything = false;  // an empty pattern occurs in every text
  std::array<std::uint32_t, 256> root_next{};  // child of the root by byte, 0 for none
  std::vector<std::uint32_t> first_child;       // per node, and one past the last node
  std::vector<std::uint32_t> fail;              // longest proper suffix that is a node
  std::vector<unsigned char> label;             // folded byte on the edge into the node
  std::vector<unsigned char> hit;               // the node's text ends with a pattern
};

// The patterns' total length must stay under 4 GiB. The views are sorted in
// place and are not needed afterwards: the automaton keeps no text.
SubstringAutomaton build_substring_automaton(std::vector<std::string_view> patterns);

// Some pattern occurs in text, ASCII letters compared without case; bytes
// outside A-Z and a-z compare as they are.
bool contains_any_ignoring_case(const SubstringAutomaton& automaton, std::string_view text);
