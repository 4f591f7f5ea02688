#include "common/match_automaton.h"

#include <algorithm>
#include <numeric>

#include "common/text_search.h"
#include "common/trie_child.h"

namespace {

constexpr std::uint32_t ROOT = 0;
// The nodes with rows of transitions: 1 MiB of them at most.
constexpr std::uint32_t ROW_NODES = 1024;

std::uint32_t row_nodes(const MatchAutomaton& a) { return static_cast<std::uint32_t>(a.rows.size() / 256); }

// Where the automaton goes from node on byte: the child, or else the child of
// the longest suffix that has one, or the root. Suffixes are shorter and so
// numbered lower: the walk ends at a node with a row.
std::uint32_t step(const MatchAutomaton& a, std::uint32_t node, unsigned char byte) {
  const std::uint32_t rows = row_nodes(a);
  while (node >= rows) {
    const std::uint32_t child = trie_child(a.first_child, a.label, node, byte);
    if (child != ROOT) return child;
    node = a.fail[node];
  }
  return a.rows[std::size_t{node} * 256 + byte];
}

// The patterns sharing the prefix of a node, as a range of the sorted ones.
struct Range {
  std::uint32_t begin;
  std::uint32_t end;
};

}  // namespace

MatchAutomaton build_match_automaton(const std::vector<std::string_view>& patterns, StopFlag stop) {
  MatchAutomaton a;
  a.pattern_count = patterns.size();
  // Sorted by their folded bytes (equal ones by their number), the patterns
  // of a node's subtree are a range, split among its children in byte order,
  // and those that end at the node come first in it.
  std::vector<std::uint32_t> order(patterns.size());
  std::iota(order.begin(), order.end(), 0u);
  const auto folded_less = [&](std::uint32_t x, std::uint32_t y) {
    const std::string_view p = patterns[x], q = patterns[y];
    const auto [i, j] = std::mismatch(p.begin(), p.end(), q.begin(), q.end(),
                                      [](char l, char r) { return fold_ascii(l) == fold_ascii(r); });
    if (i == p.end()) return j != q.end() || x < y;
    if (j == q.end()) return false;
    return fold_ascii(*i) < fold_ascii(*j);
  };
  std::sort(order.begin(), order.end(), folded_less);
  const auto text = [&](std::uint32_t i) { return patterns[order[i]]; };

  std::uint32_t first = 0;
  if (!order.empty() && text(0).empty()) a.empty_pattern = order[0];
  while (first < order.size() && text(first).empty()) ++first;

  // The trie has at most one node per distinct prefix; reserving that many
  // keeps the arrays from growing by doubling, which on hostile pages of
  // long names costs more than the building.
  std::size_t bound = 1;
  for (std::uint32_t i = first; i < order.size(); ++i) {
    std::size_t shared = 0;
    if (i > first) {
      const std::string_view p = text(i), q = text(i - 1);
      while (shared < p.size() && shared < q.size() && fold_ascii(p[shared]) == fold_ascii(q[shared])) ++shared;
    }
    bound += text(i).size() - shared;
  }
  a.first_child.reserve(bound + 1);
  a.rows.reserve(std::min<std::size_t>(bound, ROW_NODES) * 256);
  a.fail.reserve(bound);
  a.label.reserve(bound);
  a.pattern.reserve(bound);
  a.shorter.reserve(bound);

  a.fail.push_back(ROOT);
  a.label.push_back(0);
  a.pattern.push_back(NO_PATTERN);
  a.shorter.push_back(ROOT);
  std::vector<Range> level{{first, static_cast<std::uint32_t>(order.size())}};
  std::vector<Range> next;
  std::uint32_t node = ROOT;
  // Breadth first, a level at a time: a child's fail link leads to a node of
  // a lower level, whose children are all known by then.
  for (std::size_t depth = 0; !level.empty(); ++depth, level.swap(next)) {
    next.clear();
    for (Range range : level) {
      if (node % STOP_CHECK_STEPS == 0 && stop_asked(stop)) return MatchAutomaton{};
      a.first_child.push_back(static_cast<std::uint32_t>(a.label.size()));
      // The patterns that end here sort first; the rest go on past depth.
      while (range.begin < range.end && text(range.begin).size() == depth) ++range.begin;
      for (std::uint32_t i = range.begin; i < range.end;) {
        const unsigned char byte = fold_ascii(text(i)[depth]);
        std::uint32_t j = i + 1;
        while (j < range.end && fold_ascii(text(j)[depth]) == byte) ++j;
        const std::uint32_t suffix = node == ROOT ? ROOT : step(a, a.fail[node], byte);
        a.fail.push_back(suffix);
        a.label.push_back(byte);
        a.pattern.push_back(text(i).size() == depth + 1 ? order[i] : NO_PATTERN);
        a.shorter.push_back(a.pattern[suffix] != NO_PATTERN ? suffix : a.shorter[suffix]);
        next.push_back({i, j});
        i = j;
      }
      // A node's row is its longest suffix's, with its own children over it;
      // that suffix was done before it.
      if (node < ROW_NODES) {
        const std::size_t row = a.rows.size();
        a.rows.resize(row + 256, ROOT);
        if (node != ROOT) std::copy_n(a.rows.begin() + std::size_t{a.fail[node]} * 256, 256, a.rows.begin() + row);
        for (std::uint32_t c = a.first_child[node]; c < a.label.size(); ++c) a.rows[row + a.label[c]] = c;
      }
      ++node;
    }
  }
  a.first_child.push_back(static_cast<std::uint32_t>(a.label.size()));
  return a;
}

void find_patterns(const MatchAutomaton& a, std::string_view text, std::vector<std::uint32_t>& named,
                   std::uint32_t stamp, std::vector<std::uint32_t>& found, StopFlag stop) {
  const auto name = [&](std::uint32_t pattern) {
    if (named[pattern] == stamp) return false;
    named[pattern] = stamp;
    found.push_back(pattern);
    return true;
  };
  if (a.empty_pattern != NO_PATTERN) name(a.empty_pattern);
  if (a.label.size() <= 1) return;  // only the root
  std::uint32_t node = ROOT;
  std::size_t steps = 0;
  for (const char c : text) {
    if (++steps % STOP_CHECK_STEPS == 0 && stop_asked(stop)) return;
    node = step(a, node, fold_ascii(c));
    for (std::uint32_t at = a.pattern[node] != NO_PATTERN ? node : a.shorter[node]; at != ROOT; at = a.shorter[at])
      if (!name(a.pattern[at])) break;
  }
}
