#pragma once
// Text from outside (the configuration, the server, libcurl) as a check from
// the shell shows it: the password masked in every form it could leak in,
// control characters as ^X (C1 ones as M-^X) so that nothing moves the cursor or sends escape
// sequences to the terminal it is read on.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "common/shown_limits.h"

// The password as it could come back from a server that echoes what it got:
// as typed, and inside a Basic Authorization header. None without a password.
std::vector<std::string> password_forms(std::string_view username, std::string_view password);

// text with each of secrets masked and control bytes as ^X.
std::string shown(std::string_view text, const std::vector<std::string>& secrets);

// The beginning of a page as text: tags, scripts and styles left out, runs
// of white space made one space, at most PAGE_EXCERPT_LIMIT characters
// (UTF-8 sequences kept whole), "..." when cut. Each of secrets is masked
// before the cut, so no part of one can show.
std::string page_excerpt(std::string_view body, const std::vector<std::string>& secrets);
