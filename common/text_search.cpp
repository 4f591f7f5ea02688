#include "common/text_search.h"

bool contains_ignoring_case(std::string_view haystack, std::string_view needle) {
  if (needle.size() > haystack.size()) return false;
  if (needle.empty()) return true;
  const unsigned char first = fold_ascii(needle[0]);
  const std::size_t last_start = haystack.size() - needle.size();
  for (std::size_t i = 0; i <= last_start; ++i)
    if (fold_ascii(haystack[i]) == first && equal_ignoring_case(haystack.substr(i + 1, needle.size() - 1), needle.substr(1)))
      return true;
  return false;
}
