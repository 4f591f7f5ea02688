#pragma once
// Case-insensitive substring search with the C library's strcasestr meaning:
// ASCII letters compared without case (the C locale), the needle found
// anywhere in the haystack, an empty needle found at once. Works on views, so
// texts need no terminating zero and may be searched in place.
#include <cstddef>
#include <string_view>

inline constexpr unsigned char fold_ascii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// Position of the first occurrence of needle in haystack at or after from,
// or std::string_view::npos.
std::size_t find_ignoring_case(std::string_view haystack, std::string_view needle,
                               std::size_t from = 0);

inline bool contains_ignoring_case(std::string_view haystack, std::string_view needle) {
  return find_ignoring_case(haystack, needle) != std::string_view::npos;
}
