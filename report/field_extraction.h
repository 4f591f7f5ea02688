#pragma once
#include <optional>
#include <string_view>

// What to take out of a problem line.
enum ExtractMode : int {
  HOST_FIELD = 0,            // name='host' value='\(.*\)'/>
  SERVICE_FIELD = 1,         // the service postfield, or the table cell's CLASS value
  HOST_BEFORE_SERVICE = 100, // name='host' value='\(.*\)'/><postfield
};

// The patterns as POSIX basic regular expressions. extract_field gives
// exactly what regcomp/regexec give for them (leftmost-longest, first group).
inline constexpr const char* HOST_PATTERN = "name='host' value='\\(.*\\)'/>";
inline constexpr const char* HOST_BEFORE_SERVICE_PATTERN = "name='host' value='\\(.*\\)'/><postfield";
inline constexpr const char* SERVICE_POSTFIELD_PATTERN = "<postfield name='service' value='\\(.*\\)'/>";
inline constexpr const char* SERVICE_TABLE_CELL_PATTERN =
    "<TD ALIGN=LEFT valign=center CLASS='\\(.*\\)'><A "
    "HREF='extinfo.cgi?type=2&host=\\(.*\\)&service=\\(.*\\)'>\\(.*\\)</A></TD>";

// The pattern a mode uses; any mode but HOST_FIELD and HOST_BEFORE_SERVICE
// is SERVICE_FIELD, whose form depends on newcgi.
const char* pattern_for(int mode, bool newcgi);

// The text of the pattern's first group in line, a view into line; nothing
// when the line does not match.
std::optional<std::string_view> match_field(std::string_view line, int mode, bool newcgi);

// match_field, or the empty text when the line does not match; each line
// that does not match adds one to unmatched (the caller says "No match!"
// that many times).
std::string_view extract_field(std::string_view line, int mode, bool newcgi, int& unmatched);
