#include "report/page_check.h"

#include <string>

#include "common/text_search.h"

namespace {

using std::string_view;
constexpr auto npos = string_view::npos;

// The first and the last place of a tag in text, without regard to case.
// Tags start with '<', which has no case, so only the places of that byte
// are compared. The server's page opens its document near the start and
// closes it near the end, so both searches stop early on a real page.
std::size_t first_tag(string_view text, string_view tag, std::size_t from = 0) {
  for (std::size_t i = text.find('<', from); i != npos; i = text.find('<', i + 1))
    if (equal_ignoring_case(text.substr(i, tag.size()), tag)) return i;
  return npos;
}

std::size_t last_tag(string_view text, string_view tag) {
  std::size_t i = text.rfind('<');
  while (i != npos) {
    if (equal_ignoring_case(text.substr(i, tag.size()), tag)) return i;
    if (i == 0) break;
    i = text.rfind('<', i - 1);
  }
  return npos;
}

// An opening tag followed, somewhere later, by its closing tag.
bool opened_and_closed(string_view body, std::size_t opened, string_view closing) {
  const std::size_t closed = last_tag(body, closing);
  return closed != npos && closed > opened;
}

// The body without its comments: a card or a table inside "<!-- ... -->"
// is no card or table. A comment that never ends runs to the end.
std::string without_comments(string_view body) {
  std::string text;
  std::size_t at = 0;
  for (std::size_t open = body.find("<!--"); open != npos; open = body.find("<!--", at)) {
    text.append(body.substr(at, open - at));
    const std::size_t close = body.find("-->", open + 4);
    if (close == npos) return text;
    at = close + 3;
  }
  text.append(body.substr(at));
  return text;
}

bool is_status_document(string_view text) {
  const std::size_t wml = first_tag(text, "<wml");
  if (wml == npos) return false;
  const std::size_t card = first_tag(text, "<card", wml);
  if (card == npos) return false;
  const std::size_t card_end = first_tag(text, "</card>", card);
  return card_end != npos && opened_and_closed(text, card_end, "</wml>");
}

// "<html" ... "Host Problems:" <table> ... </table> ... "Svc Problems:"
// <table> ... </table> ... "</html>", in this order.
bool is_html_rendition(string_view text) {
  std::size_t at = first_tag(text, "<html");
  for (const string_view heading : {string_view("Host Problems:"), string_view("Svc Problems:")}) {
    if (at == npos) return false;
    at = find_ignoring_case(text, heading, at);
    if (at == npos) return false;
    at = first_tag(text, "<table", at);
    if (at == npos) return false;
    at = first_tag(text, "</table>", at);
  }
  return at != npos && opened_and_closed(text, at, "</html>");
}

}  // namespace

PageKind page_kind(string_view body) {
  const std::string text = without_comments(body);
  if (is_status_document(text)) return PageKind::STATUS_DOCUMENT;
  if (is_html_rendition(text)) return PageKind::HTML_RENDITION;
  return PageKind::OTHER;
}

PageVerdict check_page(string_view body, bool has_problem_lines, bool has_names) {
  if (const std::size_t wml = first_tag(body, "<wml"); wml != npos && !opened_and_closed(body, wml, "</wml>"))
    return PageVerdict::CUT_SHORT;
  if (has_problem_lines) return has_names ? PageVerdict::STATUS_PAGE : PageVerdict::NO_NAMES;
  return page_kind(body) == PageKind::OTHER ? PageVerdict::NO_CARD : PageVerdict::STATUS_PAGE;
}
