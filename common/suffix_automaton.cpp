#include "common/suffix_automaton.h"

#include <algorithm>

#include "common/text_search.h"

namespace {

// The columns: one per folded byte the texts hold, in byte order, then the
// one that parts the texts (no question can take it, so no answer crosses
// from one text into the next).
std::size_t set_columns(SuffixAutomaton& automaton, const std::vector<std::string_view>& texts) {
  std::array<bool, 256> held{};
  for (const std::string_view text : texts)
    for (const char c : text) held[fold_ascii(c)] = true;
  automaton.column.fill(SuffixAutomaton::NO_COLUMN);
  std::uint16_t columns = 0;
  for (std::size_t byte = 0; byte < 256; ++byte)
    if (held[byte]) automaton.column[byte] = columns++;
  return columns + 1u;
}

// At most twice the letters (and parting marks) read, and the start.
std::size_t most_states(const std::vector<std::string_view>& texts) {
  std::size_t length = 0;
  for (const std::string_view text : texts) length += text.size() + 1;
  return 2 * length + 1;
}

}  // namespace

std::size_t suffix_automaton_cells(const std::vector<std::string_view>& texts) {
  SuffixAutomaton automaton;
  return most_states(texts) * set_columns(automaton, texts);
}

// The standard construction, one letter at a time: the new state for the
// longer text, transitions into it from the suffixes that lacked one, and a
// clone where a state would otherwise stand for substrings of two lengths'
// kinds.
SuffixAutomaton build_suffix_automaton(const std::vector<std::string_view>& texts, StopFlag stop) {
  SuffixAutomaton automaton;
  const std::size_t columns = automaton.columns = set_columns(automaton, texts);
  const std::size_t states = most_states(texts);
  automaton.next.assign(states * columns, 0);
  std::vector<std::uint32_t> length(states, 0);
  std::vector<std::int64_t> link(states, -1);
  std::uint32_t count = 1, last = 0;
  std::size_t steps = 0;
  const auto extend = [&](std::size_t c) {
    const std::uint32_t current = count++;
    length[current] = length[last] + 1;
    std::int64_t p = last;
    for (; p != -1 && automaton.next[p * columns + c] == 0; p = link[p]) automaton.next[p * columns + c] = current;
    if (p == -1) {
      link[current] = 0;
    } else if (const std::uint32_t q = automaton.next[p * columns + c]; length[p] + 1 == length[q]) {
      link[current] = q;
    } else {
      const std::uint32_t clone = count++;
      std::copy_n(automaton.next.begin() + q * columns, columns, automaton.next.begin() + clone * columns);
      length[clone] = length[p] + 1;
      link[clone] = link[q];
      for (; p != -1 && automaton.next[p * columns + c] == q; p = link[p]) automaton.next[p * columns + c] = clone;
      link[q] = link[current] = clone;
    }
    last = current;
  };
  for (const std::string_view text : texts) {
    for (const char c : text) {
      if (++steps % STOP_CHECK_STEPS == 0 && stop_asked(stop)) return automaton;
      extend(automaton.column[fold_ascii(c)]);
    }
    extend(columns - 1);
  }
  automaton.next.resize(std::size_t{count} * columns);
  return automaton;
}

bool inside_any(const SuffixAutomaton& automaton, std::string_view text) {
  std::uint32_t state = 0;
  for (const char c : text) {
    const std::uint16_t column = automaton.column[fold_ascii(c)];
    if (column == SuffixAutomaton::NO_COLUMN) return false;
    state = automaton.next[state * automaton.columns + column];
    if (state == 0) return false;
  }
  return true;
}
