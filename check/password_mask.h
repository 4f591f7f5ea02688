#pragma once
// The password hidden from what orvek -t prints, in the forms a server (or a
// proxy, a login page, an error page) could send it back in. The forms are
// made from the password once; the text from outside is never decoded, only
// searched for them, ASCII letters without regard to case, in one pass
// whatever the text holds. These forms of each password are hidden:
// - as written;
// - percent-encoded, as browsers, servers and libraries encode it: the
//   characters other than letters and digits left as they are in the URL
//   query, path and userinfo encode sets, JavaScript's encodeURIComponent and
//   encodeURI, RFC 3986's unreserved set (curl), HTML forms, Python's quote,
//   or none of them; a blank as "%20" or "+"; either of these with "&"
//   written "&amp;" (a URL in an HTML attribute);
// - HTML-escaped: "&", "<" as "&amp;", "&lt;"; ">" as itself or "&gt;";
//   '"' as itself, "&quot;" or "&#34;"; "'" as itself, "&apos;", "&#39;",
//   "&#039;" or "&#x27;"; or every character other than letters and digits
//   (blanks written or not) as a decimal or a hexadecimal reference, a
//   UTF-8 character as the reference to its code point;
// - base64 (the standard and the URL alphabet, padded or not), of the
//   password alone and of "user:password" (the Basic Authorization header),
//   and the characters of the password's base64 at each of the three
//   alignments it can have inside a longer base64 text (another user name
//   before it, more bytes after it) where they are at least
//   BASE64_CORE_MIN characters.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/match_automaton.h"

// Shorter runs of base64 characters are too common to hide on their own.
inline constexpr std::size_t BASE64_CORE_MIN = 4;

// What replaces each stretch of text that holds a hidden form.
inline constexpr std::string_view MASK = "********";

// The forms above of password; none for an empty password.
std::vector<std::string> password_forms(std::string_view username, std::string_view password);

// The forms of some passwords, ready to be searched for.
struct PasswordMask {
  MatchAutomaton forms;
  std::vector<std::uint32_t> lengths;  // of each form
};

// The mask of each non-empty password of passwords, sent as username's.
PasswordMask password_mask(std::string_view username, const std::vector<std::string>& passwords);

// text with every stretch that holds a form replaced by MASK, stretches
// that overlap or touch as one.
std::string masked(std::string_view text, const PasswordMask& mask);
