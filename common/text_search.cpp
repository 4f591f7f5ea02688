#include "common/text_search.h"

std::size_t find_ignoring_case(std::string_view haystack, std::string_view needle,
                               std::size_t from) {
  if (from > haystack.size()) return std::string_view::npos;
  if (needle.empty()) return from;
  if (needle.size() > haystack.size() - from) return std::string_view::npos;
  const unsigned char first = fold_ascii(static_cast<unsigned char>(needle[0]));
  const std::size_t last_start = haystack.size() - needle.size();
  for (std::size_t i = from; i <= last_start; ++i) {
    if (fold_ascii(static_cast<unsigned char>(haystack[i])) != first) continue;
    std::size_t k = 1;
    while (k < needle.size() &&
           fold_ascii(static_cast<unsigned char>(haystack[i + k])) ==
               fold_ascii(static_cast<unsigned char>(needle[k])))
      ++k;
    if (k == needle.size()) return i;
  }
  return std::string_view::npos;
}
