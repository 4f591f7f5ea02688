#pragma once
// ASCII case folding and the case-insensitive tests built on it, with the C
// library's strcasestr meaning: ASCII letters compared without case (the C
// locale), nothing else folded. Works on views, so texts need no terminating
// zero and may be searched in place.
#include <string_view>

inline constexpr unsigned char fold_ascii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

inline constexpr unsigned char fold_ascii(char c) { return fold_ascii(static_cast<unsigned char>(c)); }

// Same length and the same letters, without regard to case. Inline: the
// token scan calls it at every candidate place of a multi-megabyte page.
inline constexpr bool equal_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (fold_ascii(a[i]) != fold_ascii(b[i])) return false;
  return true;
}

// The first place of the needle in the haystack at or after from, or npos;
// an empty needle is found at once.
std::size_t find_ignoring_case(std::string_view haystack, std::string_view needle, std::size_t from = 0);

// The needle found anywhere in the haystack; an empty needle is found at once.
inline bool contains_ignoring_case(std::string_view haystack, std::string_view needle) {
  return find_ignoring_case(haystack, needle) != std::string_view::npos;
}

// Where tag ("<card", "</table>") stands in text at or after from, without
// regard to case; npos when it never does. Tags start with '<', which has no
// case, so only the places of that byte are compared.
std::size_t find_tag(std::string_view text, std::string_view tag, std::size_t from = 0);

// The last place of tag in text; npos when none. A page closes its document
// near its end, so on a real page the search stops early.
std::size_t find_last_tag(std::string_view text, std::string_view tag);

// tag stands in text at at, without regard to case. Inline: the row reader
// asks at every tag of a multi-megabyte page.
inline constexpr bool tag_at(std::string_view text, std::size_t at, std::string_view tag) {
  return at <= text.size() && equal_ignoring_case(text.substr(at, tag.size()), tag);
}

// One past the "-->" that ends the comment whose "<!--" starts at at; npos
// when it never ends.
inline std::size_t comment_end(std::string_view text, std::size_t at) {
  const std::size_t end = text.find("-->", at + 4);
  return end == std::string_view::npos ? end : end + 3;
}

// White space as C's isspace knows it in the "C" locale: space, tab, line
// feed, carriage return, form feed, vertical tab.
constexpr bool is_white_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
