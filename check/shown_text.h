#pragma once
// Text from outside (the configuration, the server, libcurl) as a check from
// the shell shows it: the password masked in the forms password_mask.h
// names, control characters as ^X (C1 ones as M-^X) so that nothing moves
// the cursor or sends escape sequences to the terminal it is read on.
#include <cstddef>
#include <string>
#include <string_view>

#include "check/password_mask.h"
#include "common/shown_limits.h"

// text with the password masked, then control bytes as ^X.
std::string shown(std::string_view text, const PasswordMask& mask);

// The beginning of a page as text: tags, scripts and styles left out, runs
// of white space made one space, at most PAGE_EXCERPT_LIMIT characters
// (UTF-8 sequences kept whole), "..." when cut. The password is masked in
// the body as it came, before anything else: no tag taken out of it, no
// cut, hides it from the mask.
std::string page_excerpt(std::string_view body, const PasswordMask& mask);
