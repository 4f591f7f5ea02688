#pragma once
// What came in place of the expected answer, named from its first bytes:
// the words the wall and orvek -t use for a page that is not the list, and
// for a JSON status CGI that did not answer JSON.
#include <string_view>

// "an empty page", "an HTML page", "a JSON answer", "a WML page without its
// card", ...
std::string_view answer_kind(std::string_view body);
