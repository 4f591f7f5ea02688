#pragma once
// The words that name a server when several share the screen: the header
// above its problems, the header of a server that fails, and its reason.
// Widths are in terminal cells.
#include <string>
#include <string_view>

struct Outcome;

// What a header says after the name of a server whose own exclude file
// could not be used: its list is shown without that file's entries.
inline constexpr std::string_view EXCLUDE_FAULT_MARK = "  (exclude file unusable)";

// " NAME" padded with spaces to a report column's width, so that the header
// is a bar across its column; a name that does not fit is cut there when
// drawn. With exclude_fault, the mark after the name.
std::string server_header(std::string_view name, bool exclude_fault = false);

// A failing server in its banner's words (NO_CONNECTION_TEXT when the
// outcome has none of its own): " prod: No connection to server! ".
std::string failing_server_words(std::string_view name, const Outcome& failing);

// Those words as a header, padded likewise (the mark, with exclude_fault,
// before the padding).
std::string failing_server_header(std::string_view name, const Outcome& failing, bool exclude_fault = false);

// The banner's words of a failing outcome, NO_CONNECTION_TEXT when it has
// none of its own.
std::string_view banner_words(const Outcome& failing);

// Why the server fails and since when, as -u tells it under the banner:
// "HTTP 401: user or password refused, since 14:02:11".
std::string failing_reason(const Outcome& failing);

// The same after lead ("prod: " or nothing), in at most cells cells, never
// cut inside its time: the cause is shortened first (ending "..."), then
// ", since ..." left out whole, and only then the cause cut at the end.
std::string fitted_reason(std::string_view lead, const Outcome& failing, int cells);
