#pragma once
// Whether an answer that arrived whole is the server's list of problems. An
// operations room reads a calm screen as "all is well", so a page without
// problems counts only when it is the server's own WML card, and a WML
// document that was cut short counts not at all.
#include <string_view>

enum class PageVerdict {
  STATUS_PAGE,  // draw it as the report
  NO_CARD,      // no problem lines and no WML card: an error page, a sign-in page, nothing
  CUT_SHORT,    // a WML document without its end
};

// body: every byte received; has_problem_lines: whether the text the report
// reads (body up to its first zero byte) holds a problem line.
PageVerdict check_page(std::string_view body, bool has_problem_lines);
