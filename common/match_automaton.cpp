#include "common/match_automaton.h"

#include <algorithm>
#include <numeric>

#include "common/text_search.h"

static_assert(sizeof(MatchNode) == 16, "a node is one quarter of a cache line");

namespace {

constexpr std::uint32_t ROOT = 0;
// The nodes with rows of transitions: 1 MiB of them at most.
constexpr std::uint32_t ROW_NODES = 1024;
// Up to this many children are searched one by one; more by bisection.
constexpr std::uint32_t LINEAR_CHILDREN = 8;

std::uint32_t row_nodes(const MatchAutomaton& a) { return static_cast<std::uint32_t>(a.rows.size() / 256); }

// The child of a node by its edge byte, or the root (no one's child) for
// none. Most nodes of a long pattern have one child, which the node's own
// record names with its byte.
std::uint32_t child(const MatchAutomaton& a, const MatchNode& n, unsigned char byte) {
  if (n.children == 0 || byte < n.first_label) return ROOT;
  if (byte == n.first_label) return n.first_child;
  const MatchNode* const first = a.nodes.data() + n.first_child + 1;
  const MatchNode* const last = a.nodes.data() + n.first_child + n.children;
  if (n.children <= LINEAR_CHILDREN) {
    for (const MatchNode* c = first; c != last; ++c)
      if (c->label == byte) return static_cast<std::uint32_t>(c - a.nodes.data());
    return ROOT;
  }
  const MatchNode* at =
      std::lower_bound(first, last, byte, [](const MatchNode& c, unsigned char b) { return c.label < b; });
  return at != last && at->label == byte ? static_cast<std::uint32_t>(at - a.nodes.data()) : ROOT;
}

// Where the automaton goes from node on byte: the child, or else the child of
// the longest suffix that has one, or the root. Each fail link leads to a
// shorter suffix, so the walk reaches the root at the latest, which has a row.
std::uint32_t step(const MatchAutomaton& a, std::uint32_t node, unsigned char byte) {
  const std::uint32_t rows = row_nodes(a);
  while (node >= rows) {
    const MatchNode& n = a.nodes[node];
    if (const std::uint32_t c = child(a, n, byte); c != ROOT) return c;
    node = n.fail;
  }
  return a.rows[std::size_t{node} * 256 + byte];
}

constexpr std::uint32_t NO_NODE = UINT32_MAX;

// A node waiting for its children: the patterns sharing its prefix, as a
// range of the sorted ones, and where its only child goes when the node
// lies on a tail (see below).
struct Pending {
  std::uint32_t begin;
  std::uint32_t end;
  std::uint32_t node;
  std::uint32_t tail_child = NO_NODE;
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

  // The trie has one node per distinct prefix: the patterns' lengths less
  // what each shares with the one sorted before it. equal_until[i]: the
  // sorted patterns i .. equal_until[i] - 1 are one text.
  std::size_t bound = 1;
  std::vector<bool> equals_previous(order.size(), false);
  for (std::uint32_t i = first; i < order.size(); ++i) {
    std::size_t shared = 0;
    if (i > first) {
      const std::string_view p = text(i), q = text(i - 1);
      while (shared < p.size() && shared < q.size() && fold_ascii(p[shared]) == fold_ascii(q[shared])) ++shared;
      equals_previous[i] = shared == p.size() && shared == q.size();
    }
    bound += text(i).size() - shared;
  }
  std::vector<std::uint32_t> equal_until(order.size() + 1, static_cast<std::uint32_t>(order.size()));
  for (std::uint32_t i = static_cast<std::uint32_t>(order.size()); i-- > first;)
    equal_until[i] = i + 1 < order.size() && equals_previous[i + 1] ? equal_until[i + 1] : i + 1;
  a.rows.reserve(std::min<std::size_t>(bound, ROW_NODES) * 256);
  // Made whole at once, as the nodes of a tail are numbered before they are
  // filled in; never grown by doubling, which on hostile pages of long names
  // would cost more than the building.
  a.nodes.resize(bound);
  std::uint32_t made = 1;  // the root
  std::size_t processed = 0;  // nodes given their children, for the stop flag's checks

  std::vector<Pending> level{{first, static_cast<std::uint32_t>(order.size()), ROOT}};
  std::vector<Pending> next;
  std::vector<std::size_t> tails;  // places in next of the children that start a tail
  // Breadth first, a level at a time: a child's fail link leads to a node of
  // a lower level, whose children are all known by then.
  //
  // Nodes are numbered in the order they are made, children together, except
  // on a tail: below a node whose patterns are all one text, the rest of that
  // text is a path of nodes with one child each, numbered in a row when the
  // path starts, so that a search following it reads the nodes one after the
  // other rather than one per level of the whole trie. Tails start only past
  // the nodes with rows, which so stay the first ones made.
  for (std::size_t depth = 0; !level.empty(); ++depth, level.swap(next)) {
    next.clear();
    for (Pending pending : level) {
      if (processed++ % STOP_CHECK_STEPS == 0 && stop_asked(stop)) return MatchAutomaton{};
      const std::uint32_t node = pending.node;
      // The patterns that end here sort first; the rest go on past depth.
      while (pending.begin < pending.end && text(pending.begin).size() == depth) ++pending.begin;
      const std::uint32_t first_child = pending.tail_child != NO_NODE ? pending.tail_child : made;
      std::uint32_t children = 0;
      tails.clear();
      for (std::uint32_t i = pending.begin; i < pending.end;) {
        const unsigned char byte = fold_ascii(text(i)[depth]);
        std::uint32_t j = i + 1;
        while (j < pending.end && fold_ascii(text(j)[depth]) == byte) ++j;
        MatchNode child;
        child.fail = node == ROOT ? ROOT : step(a, a.nodes[node].fail, byte);
        child.label = byte;
        child.match = a.nodes[child.fail].match;
        if (text(i).size() == depth + 1) {
          a.matches.push_back({order[i], child.match});
          child.match = static_cast<std::uint32_t>(a.matches.size() - 1);
        }
        const std::uint32_t id = first_child + children++;
        a.nodes[id] = child;
        if (pending.tail_child != NO_NODE) {
          next.push_back({i, j, id, id + 1});
        } else {
          ++made;
          if (made > ROW_NODES && text(i).size() > depth + 2 && equal_until[i] >= j) tails.push_back(next.size());
          next.push_back({i, j, id});
        }
        i = j;
      }
      // Each tail's path below its first node, in a row after the siblings.
      for (const std::size_t t : tails) {
        next[t].tail_child = made;
        made += static_cast<std::uint32_t>(text(next[t].begin).size() - (depth + 1));
      }
      MatchNode& parent = a.nodes[node];
      parent.first_child = first_child;
      parent.children = static_cast<std::uint16_t>(children);
      if (children != 0) parent.first_label = a.nodes[first_child].label;
      // A node's row is its longest suffix's, with its own children over it;
      // that suffix was done before it.
      if (node < ROW_NODES) {
        const std::size_t row = a.rows.size();
        a.rows.resize(row + 256, ROOT);
        if (node != ROOT) std::copy_n(a.rows.begin() + std::size_t{parent.fail} * 256, 256, a.rows.begin() + row);
        for (std::uint32_t c = first_child; c < first_child + children; ++c) a.rows[row + a.nodes[c].label] = c;
      }
    }
  }
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
  if (a.nodes.size() <= 1) return;  // only the root
  std::uint32_t node = ROOT;
  std::size_t steps = 0;
  for (const char c : text) {
    if (++steps % STOP_CHECK_STEPS == 0 && stop_asked(stop)) return;
    node = step(a, node, fold_ascii(c));
    for (std::uint32_t m = a.nodes[node].match; m != NO_PATTERN; m = a.matches[m].shorter)
      if (!name(a.matches[m].pattern)) break;
  }
}

void find_longest_ends(const MatchAutomaton& a, std::string_view text,
                       const std::function<void(std::size_t end, std::uint32_t pattern)>& found) {
  if (a.nodes.size() <= 1) return;  // only the root
  std::uint32_t node = ROOT;
  for (std::size_t i = 0; i < text.size(); ++i) {
    node = step(a, node, fold_ascii(text[i]));
    // The node's own pattern, or its nearest suffix's: the longest.
    if (const std::uint32_t m = a.nodes[node].match; m != NO_PATTERN) found(i + 1, a.matches[m].pattern);
  }
}
