#pragma once
// A private file for targets whose code under test reads from a path. One per
// process, so parallel fuzzing jobs never share it; removed at exit.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "fuzz_check.h"

class ScratchFile {
 public:
  explicit ScratchFile(const char* stem) {
    const char* dir = std::getenv("TMPDIR");
    path_ = std::string(dir && *dir ? dir : "/tmp") + "/" + stem + "-XXXXXX";
    const int fd = mkstemp(path_.data());
    if (fd < 0) {
      std::perror("mkstemp");
      std::abort();
    }
    close(fd);
  }
  ~ScratchFile() { unlink(path_.c_str()); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  // Replaces the file's contents with exactly these bytes.
  void write(const std::uint8_t* data, std::size_t size) const {
    std::FILE* file = std::fopen(path_.c_str(), "wb");
    if (!file || (size && std::fwrite(data, 1, size, file) != size) || std::fclose(file) != 0) {
      std::perror(path_.c_str());
      std::abort();
    }
  }

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};
