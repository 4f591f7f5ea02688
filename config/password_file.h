#pragma once
// The password kept in a file of its own (the passwordfile line), so that it
// can hold any character the configuration's line rules would drop, and can
// be replaced without touching orvek.conf.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A password longer than this is no password but a mistaken file.
inline constexpr std::size_t PASSWORD_FILE_LINE_LIMIT = 4096;

struct PasswordFileRead {
  std::optional<std::string> password;  // the first line, verbatim; nothing when it cannot be used
  std::string reason;                   // why not, in the system's words where it has them
};

// The first line of the file at path, taken verbatim: spaces, '#' and any
// byte but the line end; a carriage return just before the line feed is
// dropped, and the last line needs no line feed. Only a regular file is
// read (a FIFO cannot hang the monitor), and only its first line.
PasswordFileRead read_password_file(const std::string& path);

// Whether a value is written in quotes ("s3cret" or 's3cret'): neither the
// configuration's reader nor the password file's takes them off.
bool in_quotes(std::string_view value);

// What in a password read from its file is likely not meant to be sent:
// quotes, a blank at either end, a byte-order mark, a carriage return
// without its line feed. In words that never hold the password.
std::vector<std::string> password_surprises(std::string_view password);
