#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// What some editors write at the start of a UTF-8 file: to every reader of
// the user's files it is text like any other.
inline constexpr std::string_view BYTE_ORDER_MARK = "\xEF\xBB\xBF";

// Reads a small text file of the user's: at most limit bytes of it.
// Only a regular file counts: a directory, a FIFO or a device yields nothing,
// like a file that does not exist or cannot be read, so that a mistyped path
// can neither hang start-up nor feed it endless bytes.
std::optional<std::string> read_text_file(const char* path, std::size_t limit);

// Why read_text_file yields nothing for path, in the system's words
// ("Permission denied", "Is a directory"), or what kind of file it is when it
// is no regular file; empty when it can be read.
std::string why_unreadable(const char* path);
