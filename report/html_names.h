#pragma once
// Names from the plain HTML rendition of the list, which writes them with
// HTML's character references ("&amp;", "&lt;", "&#39;", "&nbsp;", numeric
// ones); the WML card writes them as they are.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "report/line_names.h"

// Appends text to out with the references "&amp;", "&lt;", "&gt;",
// "&quot;", "&apos;", "&nbsp;", "&#N;" and "&#xH;" decoded (as UTF-8);
// anything else, a reference to no character or to a surrogate included,
// stays as written. Never longer than text.
void append_html_decoded(std::string& out, std::string_view text);

// Decodes every name of names that holds a reference, into one store made
// for them; the names then point into it. Returns the store (empty when no
// name needed it), which must live as long as the names.
std::shared_ptr<const std::string> decode_html_names(std::vector<LineNames>& names);

// Whether the page is an HTML document (it opens "<html" and no "<wml").
bool is_html_page(std::string_view body);
