#pragma once
// The password kept in a file of its own (the passwordfile line), so that it
// can hold any character the configuration's line rules would drop, and can
// be replaced without touching orvek.conf.
#include <cstddef>
#include <optional>
#include <string>

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
