#include "common/text_search.h"

std::size_t find_ignoring_case(std::string_view haystack, std::string_view needle, std::size_t from) {
  if (from > haystack.size() || needle.size() > haystack.size() - from) return std::string_view::npos;
  if (needle.empty()) return from;
  const unsigned char first = fold_ascii(needle[0]);
  const std::size_t last_start = haystack.size() - needle.size();
  for (std::size_t i = from; i <= last_start; ++i)
    if (fold_ascii(haystack[i]) == first && equal_ignoring_case(haystack.substr(i + 1, needle.size() - 1), needle.substr(1)))
      return i;
  return std::string_view::npos;
}

std::size_t find_tag(std::string_view text, std::string_view tag, std::size_t from) {
  for (std::size_t i = text.find('<', from); i != std::string_view::npos; i = text.find('<', i + 1))
    if (tag_at(text, i, tag)) return i;
  return std::string_view::npos;
}

std::size_t find_last_tag(std::string_view text, std::string_view tag) {
  for (std::size_t i = text.rfind('<'); i != std::string_view::npos; i = text.rfind('<', i - 1)) {
    if (tag_at(text, i, tag)) return i;
    if (i == 0) break;
  }
  return std::string_view::npos;
}
