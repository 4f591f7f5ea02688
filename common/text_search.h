#pragma once
// Case-insensitive substring test with the C library's strcasestr meaning:
// ASCII letters compared without case (the C locale), the needle found
// anywhere in the haystack, an empty needle found at once. Works on views, so
// texts need no terminating zero and may be searched in place.
#include <string_view>

inline constexpr unsigned char fold_ascii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

bool contains_ignoring_case(std::string_view haystack, std::string_view needle);
