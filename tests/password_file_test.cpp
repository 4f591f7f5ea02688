// The password file: its first line verbatim, whatever it holds, and the
// system's reason when it cannot be used.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>

#include "config/password_file.h"
#include "fetch/trust.h"

namespace {

namespace fs = std::filesystem;

class PasswordFile : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orvek-pwfile-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root_ = pattern;
  }
  void TearDown() override { fs::remove_all(root_); }

  std::string file_with(const std::string& bytes) {
    const fs::path path = root_ / ("pw" + std::to_string(files_++));
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }

  fs::path root_;
  int files_ = 0;
};

TEST_F(PasswordFile, FirstLineVerbatim) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string password;
  };
  const Case cases[] = {
      {"spaces and a hash", "s3cret pass #1; it's\n", "s3cret pass #1; it's"},
      {"white space at both ends kept", " \tpw \t\n", " \tpw \t"},
      {"CRLF: the carriage return dropped", "pw\r\n", "pw"},
      {"a carriage return not before a line feed kept", "p\rw\n", "p\rw"},
      {"no line feed at all", "pw", "pw"},
      {"only the first line", "first\nsecond\n", "first"},
      {"an empty first line", "\nsecond\n", ""},
      {"an empty file", "", ""},
      {"bytes beyond ASCII", "p\xc3\xa4ss\xff\n", "p\xc3\xa4ss\xff"},
      {"exactly the longest line", std::string(PASSWORD_FILE_LINE_LIMIT, 'x') + "\n",
       std::string(PASSWORD_FILE_LINE_LIMIT, 'x')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PasswordFileRead read = read_password_file(file_with(c.bytes));
    ASSERT_TRUE(read.password) << read.reason;
    EXPECT_EQ(*read.password, c.password);
  }
}

TEST_F(PasswordFile, RefusedWithTheReason) {
  const std::string fifo = (root_ / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  struct Case {
    const char* name;
    std::string path;
    std::string reason;
  };
  const Case cases[] = {
      {"missing", (root_ / "missing").string(), "No such file or directory"},
      {"a folder", root_.string(), "Is a directory"},
      // Opened without waiting for a writer.
      {"a FIFO", fifo, "not a regular file"},
      {"no path", "", "no file named"},
      {"a zero byte in the line", file_with(std::string("pa\0ss\n", 6)), "its first line holds a zero byte"},
      {"a line over the limit", file_with(std::string(PASSWORD_FILE_LINE_LIMIT + 1, 'x') + "\n"),
       "its first line is longer than 4096 bytes"},
      {"over the limit, no line feed", file_with(std::string(100000, 'x')),
       "its first line is longer than 4096 bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PasswordFileRead read = read_password_file(c.path);
    EXPECT_FALSE(read.password);
    EXPECT_EQ(read.reason, c.reason);
  }
}

TEST(PinLine, OnlySha256PinsAreTaken) {
  const std::string key = "eJMFoVu055zpeEcHSFN6bzg3u7faR+DlpbeHSDZLSrY=";
  const std::string other = "tcSnO4d4onfOOKS8Np/pfreXxDRnOKDYGsdlVhX9moY=";
  struct Case {
    const char* name;
    std::string pin;
    bool fine;
  };
  const Case cases[] = {
      {"one key", "sha256//" + key, true},
      {"two keys", "sha256//" + key + ";sha256//" + other, true},
      {"empty", "", false},
      {"an empty piece after ';'", "sha256//" + key + ";", false},
      // libcurl would read a file of this name as the key.
      {"a file name", "/etc/orvek/server.pub", false},
      {"upper-case prefix", "SHA256//" + key, false},
      {"a character short", "sha256//" + key.substr(1), false},
      {"no padding", "sha256//" + key.substr(0, 43) + "A", false},
      {"two padding characters", "sha256//" + key.substr(0, 42) + "==", false},
      {"not base64", "sha256//" + std::string(43, '!') + "=", false},
      {"the hex digest", "sha256//" + std::string(64, 'a'), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(pin_line_fault(c.pin).empty(), c.fine) << pin_line_fault(c.pin);
  }
}

}  // namespace
