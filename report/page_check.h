#pragma once
// Whether an answer that arrived whole is the server's list of problems. An
// operations room reads a calm screen as "all is well", so a page counts
// only when its problems could be read, or, without problems, when it is a
// complete status document; a WML document that was cut short counts not at
// all.
#include <string_view>

enum class PageVerdict {
  STATUS_PAGE,  // draw it as the report
  NO_CARD,      // no problem lines, and no complete status document: an error page, a sign-in page, nothing
  CUT_SHORT,    // a WML document without its end
  NO_NAMES,     // problem lines, but not one name in them: a page that only looks like a list
};

// The kinds of page the status path is known to answer with.
enum class PageKind {
  STATUS_DOCUMENT,  // <wml> ... </wml> holding a <card> ... </card> outside comments
  HTML_RENDITION,   // the plain HTML rendition: both problem tables, up to </html>
  OTHER,
};

PageKind page_kind(std::string_view body);

// body: every byte received; has_problem_lines: whether the text the report
// reads (body up to its first zero byte) holds a problem line; has_names:
// whether any of those lines yields a name.
PageVerdict check_page(std::string_view body, bool has_problem_lines, bool has_names);
