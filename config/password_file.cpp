#include "config/password_file.h"

#include <cerrno>
#include <cstring>
#include <string_view>

#include "config/regular_file.h"

namespace {

PasswordFileRead refused(std::string reason) { return {std::nullopt, std::move(reason)}; }

}  // namespace

PasswordFileRead read_password_file(const std::string& path) {
  if (path.empty()) return refused("no file named");
  const RegularFile file = open_regular_file(path.c_str());
  if (file.kind == FileKind::UNOPENED) return refused(std::strerror(file.error));
  if (file.kind == FileKind::DIRECTORY) return refused(std::strerror(EISDIR));
  if (file.kind != FileKind::REGULAR) return refused("not a regular file");

  std::string text;
  char chunk[512];
  // One byte past the limit tells a line that is too long from one that fits.
  while (text.size() <= PASSWORD_FILE_LINE_LIMIT && text.find('\n') == std::string::npos) {
    const ssize_t n = read_some(file, chunk, sizeof chunk);
    if (n < 0) return refused(std::strerror(errno));
    if (n == 0) break;
    text.append(chunk, static_cast<std::size_t>(n));
  }
  const std::size_t end = text.find('\n');
  std::string line = text.substr(0, end);
  if (end != std::string::npos && !line.empty() && line.back() == '\r') line.pop_back();
  if (line.size() > PASSWORD_FILE_LINE_LIMIT)
    return refused("its first line is longer than " + std::to_string(PASSWORD_FILE_LINE_LIMIT) + " bytes");
  // libcurl takes the password as a C string: a zero byte would cut it short
  // without a word, and a wrong password would be sent.
  if (line.find('\0') != std::string::npos) return refused("its first line holds a zero byte");
  return {std::move(line), {}};
}
