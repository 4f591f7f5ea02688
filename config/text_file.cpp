#include "config/text_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "config/regular_file.h"

std::optional<std::string> read_text_file(const char* path, std::size_t limit) {
  const RegularFile file = open_regular_file(path);
  if (file.kind != FileKind::REGULAR) return std::nullopt;
  std::string text;
  char chunk[8192];
  while (text.size() < limit) {
    const ssize_t n = read_some(file, chunk, std::min(sizeof chunk, limit - text.size()));
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    text.append(chunk, static_cast<std::size_t>(n));
  }
  return text;
}

std::string why_unreadable(const char* path) {
  // The same opening as the reader's, so the reason is the one it met.
  const RegularFile file = open_regular_file(path);
  switch (file.kind) {
    case FileKind::UNOPENED: return std::strerror(file.error);
    case FileKind::REGULAR: return {};
    case FileKind::DIRECTORY: return std::strerror(EISDIR);
    case FileKind::FIFO: return "a FIFO, not a regular file";
    case FileKind::DEVICE_OR_SOCKET: return "a device or socket, not a regular file";
  }
  return {};
}
