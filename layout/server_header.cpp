#include "layout/server_header.h"

#include "layout/clock_note.h"
#include "layout/report_layout.h"
#include "refresh/outcome.h"

// Its bytes but those that continue a sequence.
int characters(std::string_view text) {
  int count = 0;
  for (const char byte : text) count += (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
  return count;
}

namespace {

std::string across_column(std::string text) {
  const int missing = REPORT_COLUMN_WIDTH - characters(text);
  if (missing > 0) text.append(static_cast<std::size_t>(missing), ' ');
  return text;
}

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string server_header(std::string_view name) {
  std::string text(" ");
  text.append(name);
  return across_column(std::move(text));
}

std::string failing_server_header(std::string_view name, const Outcome& failing) {
  const std::string_view banner = failing.banner_text.empty() ? NO_CONNECTION_TEXT : failing.banner_text;
  std::string text(" ");
  text.append(name).append(": ").append(trimmed(banner)).append(" ");
  return across_column(std::move(text));
}

std::string failing_reason(const Outcome& failing) {
  return reason_since_text(failing.reason, failing.failing_since, failing.cause_since);
}
