#pragma once
// The child lookup of a trie numbered breadth first, as both automata lay
// theirs out: the children of node v are the consecutive nodes
// first_child[v] .. first_child[v + 1] - 1, in increasing order of the byte
// on their edge (label).
#include <algorithm>
#include <cstdint>
#include <vector>

// Up to this many children are searched one by one; more by bisection.
inline constexpr std::uint32_t TRIE_LINEAR_CHILDREN = 8;

// The child of node by its edge byte, or 0 (the root, which is no one's
// child) for none.
inline std::uint32_t trie_child(const std::vector<std::uint32_t>& first_child, const std::vector<unsigned char>& label,
                                std::uint32_t node, unsigned char byte) {
  const std::uint32_t begin = first_child[node];
  const std::uint32_t end = first_child[node + 1];
  if (end - begin <= TRIE_LINEAR_CHILDREN) {
    for (std::uint32_t c = begin; c < end; ++c)
      if (label[c] == byte) return c;
    return 0;
  }
  const auto first = label.begin() + begin;
  const auto at = std::lower_bound(first, label.begin() + end, byte);
  return (at != label.begin() + end && *at == byte) ? begin + static_cast<std::uint32_t>(at - first) : 0;
}
