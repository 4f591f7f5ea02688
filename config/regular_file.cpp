#include "config/regular_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

RegularFile::RegularFile(RegularFile&& other) noexcept : fd(other.fd), kind(other.kind), error(other.error) {
  other.fd = -1;
}

RegularFile::~RegularFile() {
  if (fd >= 0) ::close(fd);
}

RegularFile open_regular_file(const char* path) {
  RegularFile file;
  // O_NONBLOCK: opening a FIFO must not wait for a writer.
  const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    file.error = errno;
    return file;
  }
  struct stat status;
  if (::fstat(fd, &status) != 0) {
    file.error = errno;
    ::close(fd);
    return file;
  }
  file.kind = S_ISREG(status.st_mode)    ? FileKind::REGULAR
              : S_ISDIR(status.st_mode)  ? FileKind::DIRECTORY
              : S_ISFIFO(status.st_mode) ? FileKind::FIFO
                                         : FileKind::DEVICE_OR_SOCKET;
  if (file.kind == FileKind::REGULAR)
    file.fd = fd;
  else
    ::close(fd);
  return file;
}

ssize_t read_some(const RegularFile& file, char* bytes, std::size_t size) {
  for (;;) {
    const ssize_t n = ::read(file.fd, bytes, size);
    if (n >= 0 || errno != EINTR) return n;
  }
}
