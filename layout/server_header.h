#pragma once
// The words that name a server when several share the screen: the header
// above its problems, the header of a server that fails, and its reason.
#include <string>
#include <string_view>

struct Outcome;

// Characters of UTF-8 text, which the screen shows one a cell (text of wide
// characters takes more).
int characters(std::string_view text);

// " NAME" padded with spaces to a report column's width, so that the header
// is a bar across its column; a name that does not fit is cut there when
// drawn.
std::string server_header(std::string_view name);

// A failing server's header in its banner's words (NO_CONNECTION_TEXT when
// the outcome has none of its own): " prod: No connection to server! ",
// padded likewise.
std::string failing_server_header(std::string_view name, const Outcome& failing);

// Why the server fails and since when, as -u tells it under the banner:
// "HTTP 401: user or password refused, since 14:02:11".
std::string failing_reason(const Outcome& failing);
