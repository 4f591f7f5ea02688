#pragma once
// Whether an answer that arrived whole is the server's list of problems. An
// operations room reads a calm screen as "all is well", so a page counts
// only when its problems could be read, or, without problems, when it is the
// server's complete list of problems; a WML document that was cut short, or
// a body holding a zero byte, counts not at all.
#include <string>
#include <string_view>

enum class PageVerdict {
  STATUS_PAGE,  // draw it as the report
  NO_CARD,      // no problem lines, and no complete status document: an error page, a sign-in page, nothing
  CUT_SHORT,    // a WML document without its end
  NO_NAMES,     // problem lines, but not one name in them: a page that only looks like a list
  ZERO_BYTE,    // a zero byte in the body: no text page
  OTHER_CARD,   // no problem lines, and a complete WML card that is not the list of problems
  NOT_WHOLE,    // nothing to show, but a problem line yields no name, or a status cell outside rows went unread
};

// The kinds of page the status path is known to answer with.
enum class PageKind {
  PROBLEMS_CARD,   // <wml> ... </wml> holding the card of problems: its "Host Problems:" and "Svc Problems:" tables
  HTML_RENDITION,  // the plain HTML rendition: both problem tables, up to </html>
  INDEX_CARD,      // another card of the status CGI: its index of links to its other views
  OTHER_CARD,      // another card: a host's, the process information, the totals
  OTHER,
};

// Comments ("<!-- ... -->") hide what they hold.
PageKind page_kind(std::string_view body);

// The title of the page's first card outside comments, as written; empty
// when there is none.
std::string card_title(std::string_view body);

// body: every byte received; has_problem_lines: whether the text the report
// reads (body up to its first zero byte) holds a problem line; has_names:
// whether any of those lines yields a name; kind: page_kind(body), looked at
// only when there is no problem line.
PageVerdict check_page(std::string_view body, bool has_problem_lines, bool has_names, PageKind kind);

// Whether a page drawn as the report may show it: a calm screen (nothing to
// show) is earned only when every problem of the page was read. Rows that
// could not be read are no calm screen either: the report shows their count
// (nothing_shown is then false).
PageVerdict check_calm(PageVerdict verdict, bool nothing_shown, int unmatched, bool unread_status_cell);
