#include "config/password_file.h"

#include <cerrno>
#include <cstring>
#include <string_view>

#include "config/regular_file.h"
#include "config/text_file.h"

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

bool in_quotes(std::string_view value) {
  return value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
}

std::vector<std::string> password_surprises(std::string_view password) {
  std::vector<std::string> found;
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  if (password.starts_with(BYTE_ORDER_MARK))
    found.emplace_back("the file starts with a byte-order mark (EF BB BF), which is sent as part of the password: "
                       "save it without");
  if (in_quotes(password)) found.emplace_back("the quotes are part of the password");
  if (!password.empty() && blank(password.front())) found.emplace_back("the password begins with a blank");
  if (!password.empty() && blank(password.back())) found.emplace_back("the password ends with a blank");
  if (password.ends_with('\r')) found.emplace_back("the password ends with a carriage return");
  return found;
}
