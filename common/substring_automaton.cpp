#include "common/substring_automaton.h"

#include <algorithm>

#include "common/text_search.h"

namespace {

constexpr std::uint32_t ROOT = 0;

// Up to this many children are searched one by one; more by bisection.
constexpr std::uint32_t TRIE_LINEAR_CHILDREN = 8;

// The child of node by its edge byte, or 0 (the root, which is no one's
// child) for none.
std::uint32_t trie_child(const std::vector<std::uint32_t>& first_child, const std::vector<unsigned char>& label,
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

// Where the automaton goes from node on byte: the child, or else the child of
// the longest suffix that has one, or the root.
std::uint32_t step(const SubstringAutomaton& a, std::uint32_t node, unsigned char byte) {
  while (node != ROOT) {
    const std::uint32_t child = trie_child(a.first_child, a.label, node, byte);
    if (child != ROOT) return child;
    node = a.fail[node];
  }
  return a.root_next[byte];
}

// The patterns sharing the prefix of a node, as a range of the sorted ones.
struct Range {
  std::uint32_t begin;
  std::uint32_t end;
};

}  // namespace

SubstringAutomaton build_substring_automaton(std::vector<std::string_view> sorted) {
  SubstringAutomaton a;
  if (sorted.empty()) return a;
  for (const std::string_view p : sorted)
    if (p.empty()) {
      a.matches_everything = true;
      return a;
    }

  // Sorted by their folded bytes, the patterns of a node's subtree are a
  // range, split among its children in byte order. Folding as they are read
  // keeps no folded copy of them all.
  const auto folded_less = [](std::string_view x, std::string_view y) {
    return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end(),
                                        [](char l, char r) { return fold_ascii(l) < fold_ascii(r); });
  };
  std::sort(sorted.begin(), sorted.end(), folded_less);
  const auto same = [](char l, char r) { return fold_ascii(l) == fold_ascii(r); };

  // The trie has at most one node per distinct prefix; reserving that many
  // keeps the arrays from growing by doubling.
  std::size_t bound = 1;
  for (std::size_t i = 0; i < sorted.size(); ++i) {
    std::size_t shared = 0;
    if (i > 0) {
      const auto [x, y] =
          std::mismatch(sorted[i].begin(), sorted[i].end(), sorted[i - 1].begin(), sorted[i - 1].end(), same);
      shared = static_cast<std::size_t>(x - sorted[i].begin());
    }
    bound += sorted[i].size() - shared;
  }
  a.first_child.reserve(bound + 1);
  a.fail.reserve(bound);
  a.label.reserve(bound);
  a.hit.reserve(bound);

  a.fail.push_back(ROOT);
  a.label.push_back(0);
  a.hit.push_back(0);
  std::vector<Range> level{{0, static_cast<std::uint32_t>(sorted.size())}};
  std::vector<Range> next;
  std::uint32_t node = ROOT;
  // Breadth first, a level at a time: a child's fail link leads to a node of
  // a lower level, whose children are all known by then.
  for (std::size_t depth = 0; !level.empty(); ++depth, level.swap(next)) {
    next.clear();
    for (const Range range : level) {
      a.first_child.push_back(static_cast<std::uint32_t>(a.label.size()));
      if (!a.hit[node]) {
        // No pattern ends here (that would be a hit), so every pattern in
        // the range goes on past depth.
        for (std::uint32_t i = range.begin; i < range.end;) {
          const unsigned char byte = fold_ascii(sorted[i][depth]);
          std::uint32_t j = i + 1;
          while (j < range.end && fold_ascii(sorted[j][depth]) == byte) ++j;
          const std::uint32_t suffix = node == ROOT ? ROOT : step(a, a.fail[node], byte);
          a.fail.push_back(suffix);
          a.label.push_back(byte);
          // The shortest pattern of the range sorts first.
          a.hit.push_back(sorted[i].size() == depth + 1 || a.hit[suffix]);
          next.push_back({i, j});
          i = j;
        }
        if (node == ROOT)
          for (std::uint32_t c = 1; c < a.label.size(); ++c) a.root_next[a.label[c]] = c;
      }
      ++node;
    }
  }
  a.first_child.push_back(static_cast<std::uint32_t>(a.label.size()));
  return a;
}

bool contains_any_ignoring_case(const SubstringAutomaton& a, std::string_view text) {
  if (a.matches_everything) return true;
  if (a.label.empty()) return false;
  std::uint32_t node = ROOT;
  for (const char c : text) {
    node = step(a, node, fold_ascii(static_cast<unsigned char>(c)));
    if (a.hit[node]) return true;
  }
  return false;
}
