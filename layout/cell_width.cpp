#include "layout/cell_width.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <iterator>

namespace {

struct Range {
  char32_t first;
  char32_t last;
};

// Characters that take two cells: the East Asian Wide and Fullwidth blocks
// (Hangul, CJK ideographs and symbols, kana, fullwidth forms, emoji).
constexpr std::array<Range, 24> WIDE = {{
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC}, {0x23F0, 0x23F0},
    {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},   {0x2E80, 0x303E}, {0x3041, 0x33FF},
    {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xA960, 0xA97F}, {0xAC00, 0xD7A3},
    {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},   {0xFF00, 0xFF60}, {0xFFE0, 0xFFE6},
    {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
}};

// Characters that take no cell: combining marks and zero-width ones.
constexpr std::array<Range, 15> ZERO = {{
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x0610, 0x061A}, {0x064B, 0x065F},
    {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x200B, 0x200F}, {0x202A, 0x202E}, {0x2060, 0x2064},
    {0x20D0, 0x20FF}, {0x302A, 0x302D}, {0x3099, 0x309A}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F},
}};

template <std::size_t N>
bool within(const std::array<Range, N>& ranges, char32_t code) {
  const auto after = std::upper_bound(ranges.begin(), ranges.end(), code,
                                      [](char32_t c, const Range& range) { return c < range.first; });
  return after != ranges.begin() && code <= std::prev(after)->last;
}

// One character at the start of text: its bytes and its cells. A byte that
// starts no valid sequence is one cell on its own.
struct Character {
  std::size_t bytes;
  int cells;
};

Character next_character(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  if (lead < 0x20 || lead == 0x7F) return {1, 2};
  if (lead < 0x80) return {1, 1};
  std::size_t length = 0;
  char32_t code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2, code = lead & 0x1F;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3, code = lead & 0x0F;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4, code = lead & 0x07;
  else return {1, 1};
  if (text.size() < length) return {1, 1};
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if ((byte & 0xC0) != 0x80) return {1, 1};
    code = (code << 6) | (byte & 0x3F);
  }
  // Overlong forms, surrogates and code points past Unicode's end are no
  // characters.
  if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
      (code >= 0xD800 && code <= 0xDFFF))
    return {1, 1};
  if (within(ZERO, code)) return {length, 0};
  return {length, within(WIDE, code) ? 2 : 1};
}

}  // namespace

int cell_width(std::string_view text) {
  int cells = 0;
  while (!text.empty()) {
    const Character character = next_character(text);
    cells += character.cells;
    text.remove_prefix(character.bytes);
  }
  return cells;
}

std::string_view first_cells(std::string_view text, int cells) {
  std::size_t taken = 0;
  int used = 0;
  while (taken < text.size()) {
    const Character character = next_character(text.substr(taken));
    if (used + character.cells > cells) break;
    used += character.cells;
    taken += character.bytes;
  }
  return text.substr(0, taken);
}
