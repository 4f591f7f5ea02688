#include "fetch/answer_kind.h"

#include "common/text_search.h"

std::string_view answer_kind(std::string_view body) {
  // A look at the beginning is enough to name what came; the page check
  // has already read the whole of it.
  std::string_view start = body.substr(0, 1024);
  const std::size_t first = start.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return body.empty() ? "an empty page" : "a page of blanks";
  start.remove_prefix(first);
  if (start.starts_with("\xEF\xBB\xBF")) start.remove_prefix(3);
  if (find_tag(start, "<wml") != std::string_view::npos) return "a WML page without its card";
  if (find_tag(start, "<html") != std::string_view::npos || find_tag(start, "<!doctype html") != std::string_view::npos)
    return "an HTML page";
  if (start.front() == '{' || start.front() == '[') return "a JSON answer";
  if (start.front() == '<') return "an XML page";
  return "a text page";
}
