#include "report/page_check.h"

#include <string>

#include "common/text_search.h"

namespace {

using std::string_view;
constexpr auto npos = string_view::npos;

// An opening tag followed, somewhere later, by its closing tag.
bool opened_and_closed(string_view body, std::size_t opened, string_view closing) {
  const std::size_t closed = find_last_tag(body, closing);
  return closed != npos && closed > opened;
}

// The body without its comments: a card or a table inside "<!-- ... -->"
// is no card or table. A comment that never ends runs to the end.
std::string without_comments(string_view body) {
  std::string text;
  std::size_t at = 0;
  for (std::size_t open = body.find("<!--"); open != npos; open = body.find("<!--", at)) {
    text.append(body.substr(at, open - at));
    at = comment_end(body, open);
    if (at == npos) return text;
  }
  text.append(body.substr(at));
  return text;
}

// The problem tables: "Host Problems:" <table> ... </table> ... "Svc
// Problems:" <table> ... </table>, in this order, from at; npos when they
// are not there, else where the second table ends.
std::size_t problem_tables(string_view text, std::size_t at) {
  for (const string_view heading : {string_view("Host Problems:"), string_view("Svc Problems:")}) {
    if (at == npos) return npos;
    at = find_ignoring_case(text, heading, at);
    if (at == npos) return npos;
    at = find_tag(text, "<table", at);
    if (at == npos) return npos;
    at = find_tag(text, "</table>", at);
  }
  return at;
}

// A complete WML card: "<wml" ... "<card" ... "</card>" ... "</wml>".
std::size_t card_start(string_view text) {
  const std::size_t wml = find_tag(text, "<wml");
  if (wml == npos) return npos;
  const std::size_t card = find_tag(text, "<card", wml);
  if (card == npos) return npos;
  const std::size_t card_end = find_tag(text, "</card>", card);
  return card_end != npos && opened_and_closed(text, card_end, "</wml>") ? card : npos;
}

// The status CGI's index links to its views of the status ("style=...").
bool is_index_card(string_view text, std::size_t card) {
  int views = 0;
  for (std::size_t at = find_ignoring_case(text, "statuswml.cgi?style=", card); at != npos;
       at = find_ignoring_case(text, "statuswml.cgi?style=", at + 1))
    ++views;
  return views >= 3;
}

// "<html" ... "Host Problems:" <table> ... </table> ... "Svc Problems:"
// <table> ... </table> ... "</html>", in this order.
bool is_html_rendition(string_view text) {
  const std::size_t html = find_tag(text, "<html");
  if (html == npos) return false;
  const std::size_t end = problem_tables(text, html);
  return end != npos && opened_and_closed(text, end, "</html>");
}

}  // namespace

PageKind page_kind(string_view body) {
  const std::string text = without_comments(body);
  if (const std::size_t card = card_start(text); card != npos) {
    // The tables inside the card, the card's end after them.
    const std::size_t tables = problem_tables(text, card);
    if (tables != npos && find_tag(text, "</card>", tables) != npos) return PageKind::PROBLEMS_CARD;
    return is_index_card(text, card) ? PageKind::INDEX_CARD : PageKind::OTHER_CARD;
  }
  if (is_html_rendition(text)) return PageKind::HTML_RENDITION;
  return PageKind::OTHER;
}

std::string card_title(string_view body) {
  const std::string text = without_comments(body);
  const std::size_t card = find_tag(text, "<card");
  if (card == npos) return {};
  const std::size_t tag_end = text.find('>', card);
  const string_view tag = string_view(text).substr(card, tag_end == npos ? npos : tag_end - card);
  const std::size_t title = find_ignoring_case(tag, "title=");
  if (title == npos || title + 6 >= tag.size()) return {};
  const char quote = tag[title + 6];
  if (quote != '\'' && quote != '"') return {};
  const std::size_t end = tag.find(quote, title + 7);
  return std::string(tag.substr(title + 7, end == npos ? npos : end - title - 7));
}

PageVerdict check_page(string_view body, bool has_problem_lines, bool has_names, PageKind kind) {
  if (body.find('\0') != npos) return PageVerdict::ZERO_BYTE;
  if (const std::size_t wml = find_tag(body, "<wml"); wml != npos && !opened_and_closed(body, wml, "</wml>"))
    return PageVerdict::CUT_SHORT;
  if (has_problem_lines) return has_names ? PageVerdict::STATUS_PAGE : PageVerdict::NO_NAMES;
  switch (kind) {
    case PageKind::PROBLEMS_CARD:
    case PageKind::HTML_RENDITION: return PageVerdict::STATUS_PAGE;
    case PageKind::INDEX_CARD:
    case PageKind::OTHER_CARD: return PageVerdict::OTHER_CARD;
    case PageKind::OTHER: break;
  }
  return PageVerdict::NO_CARD;
}

PageVerdict check_calm(PageVerdict verdict, bool nothing_shown, int unmatched, bool unread_status_cell) {
  if (verdict == PageVerdict::STATUS_PAGE && nothing_shown && (unmatched > 0 || unread_status_cell))
    return PageVerdict::NOT_WHOLE;
  return verdict;
}
