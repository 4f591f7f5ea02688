#include "config/text_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::optional<std::string> read_text_file(const char* path, std::size_t limit) {
  // O_NONBLOCK: opening a FIFO must not wait for a writer.
  const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat status;
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  std::string text;
  char chunk[8192];
  while (text.size() < limit) {
    const ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, limit - text.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    text.append(chunk, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return text;
}

std::string why_unreadable(const char* path) {
  // The same open as the reader's, so the reason is the one it met.
  const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::strerror(errno);
  std::string reason;
  struct stat status;
  if (::fstat(fd, &status) != 0)
    reason = std::strerror(errno);
  else if (S_ISDIR(status.st_mode))
    reason = std::strerror(EISDIR);
  else if (S_ISFIFO(status.st_mode))
    reason = "a FIFO, not a regular file";
  else if (!S_ISREG(status.st_mode))
    reason = "a device or socket, not a regular file";
  ::close(fd);
  return reason;
}
