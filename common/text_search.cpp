#include "common/text_search.h"

bool contains_ignoring_case(std::string_view haystack, std::string_view needle) {
  if (needle.size() > haystack.size()) return false;
  if (needle.empty()) return true;
  const unsigned char first = fold_ascii(static_cast<unsigned char>(needle[0]));
  const std::size_t last_start = haystack.size() - needle.size();
  for (std::size_t i = 0; i <= last_start; ++i) {
    if (fold_ascii(static_cast<unsigned char>(haystack[i])) != first) continue;
    std::size_t k = 1;
    while (k < needle.size() &&
           fold_ascii(static_cast<unsigned char>(haystack[i + k])) ==
               fold_ascii(static_cast<unsigned char>(needle[k])))
      ++k;
    if (k == needle.size()) return true;
  }
  return false;
}
