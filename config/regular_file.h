#pragma once
// Opening a file of the user's (the configuration, the exclude list, the
// password file) for reading: only a regular file is opened, so that a
// mistyped path can neither hang start-up (opening a FIFO waits for no
// writer) nor feed it endless bytes (a device).
#include <cstddef>
#include <sys/types.h>

// What the path names, as far as opening it found out.
enum class FileKind : unsigned char {
  UNOPENED,  // it could not be opened or looked at: error says why
  REGULAR,   // open: fd reads it
  DIRECTORY,
  FIFO,
  DEVICE_OR_SOCKET,
};

// The descriptor is closed when the file goes.
struct RegularFile {
  int fd = -1;                         // open only for a regular file
  FileKind kind = FileKind::UNOPENED;
  int error = 0;                       // errno of the open or fstat that failed
  RegularFile() = default;
  RegularFile(RegularFile&& other) noexcept;
  RegularFile& operator=(RegularFile&&) = delete;
  RegularFile(const RegularFile&) = delete;
  ~RegularFile();
};

RegularFile open_regular_file(const char* path);

// read(2) into bytes, again where a signal cut it short; 0 at the end, -1
// on an error, which errno names.
ssize_t read_some(const RegularFile& file, char* bytes, std::size_t size);
