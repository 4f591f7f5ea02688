#include "report/page_check.h"

#include "common/text_search.h"

namespace {

constexpr auto npos = std::string_view::npos;

// The first and the last place of a tag in text, without regard to case.
// Tags start with '<', which has no case, so only the places of that byte
// are compared. The server's page opens its document and card near the start
// and closes them near the end, so both searches stop early on a real page.
std::size_t first_tag(std::string_view text, std::string_view tag) {
  for (std::size_t i = text.find('<'); i != npos; i = text.find('<', i + 1))
    if (equal_ignoring_case(text.substr(i, tag.size()), tag)) return i;
  return npos;
}

std::size_t last_tag(std::string_view text, std::string_view tag) {
  std::size_t i = text.rfind('<');
  while (i != npos) {
    if (equal_ignoring_case(text.substr(i, tag.size()), tag)) return i;
    if (i == 0) break;
    i = text.rfind('<', i - 1);
  }
  return npos;
}

// An opening tag followed, somewhere later, by its closing tag.
bool opened_and_closed(std::string_view body, std::size_t opened, std::string_view closing) {
  const std::size_t closed = last_tag(body, closing);
  return closed != npos && closed > opened;
}

}  // namespace

PageVerdict check_page(std::string_view body, bool has_problem_lines) {
  if (const std::size_t wml = first_tag(body, "<wml"); wml != npos && !opened_and_closed(body, wml, "</wml>"))
    return PageVerdict::CUT_SHORT;
  if (has_problem_lines) return PageVerdict::STATUS_PAGE;
  const std::size_t card = first_tag(body, "<card");
  return card != npos && opened_and_closed(body, card, "</card>") ? PageVerdict::STATUS_PAGE : PageVerdict::NO_CARD;
}
