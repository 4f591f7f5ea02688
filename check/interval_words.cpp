#include "check/interval_words.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "common/text_search.h"

namespace {

constexpr std::uint32_t DAY = 24 * 60 * 60;
// Beyond this the next refresh lies past any screen's life.
constexpr std::uint32_t NEVER = 100u * 365 * DAY;

}  // namespace

std::string interval_words(const char* written, std::uint32_t seconds) {
  const std::string value = std::to_string(seconds) + " s";
  if (!written) return value + " (the default)";
  std::vector<std::string> notes;
  // Read once more the way the command line read it, to see what it did.
  const char* p = written;
  while (is_white_space(*p)) ++p;
  const bool negative = *p == '-';
  const char* digits = (*p == '-' || *p == '+') ? p + 1 : p;
  errno = 0;
  char* end = nullptr;
  const unsigned long read = std::strtoul(written, &end, 0);
  const bool overflow = errno == ERANGE;
  if (end == written) {
    notes.push_back("not a number");
  } else {
    if (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X') && end > digits + 1)
      notes.push_back("read as hexadecimal");
    else if (digits[0] == '0' && end > digits + 1)
      notes.push_back("a leading 0 reads it as octal");
    if (*end != '\0') notes.push_back("text after the number ignored");
    if (negative && read != 0) notes.push_back("a negative number wraps around");
    else if (overflow || read > 0xffffffffUL) notes.push_back("too large: only its low 32 bits are kept");
  }
  if (seconds == 0)
    notes.push_back("no pause between fetches");
  else if (seconds >= NEVER)
    notes.push_back("the screen is never refreshed");
  else if (seconds >= DAY)
    notes.push_back("over a day between refreshes");
  std::string text = value + " (-s " + written;
  for (const std::string& note : notes) text += ": " + note;
  return text + ")";
}

bool interval_unsound(std::uint32_t seconds) { return seconds == 0 || seconds >= NEVER; }
