#include "layout/server_header.h"

#include "layout/cell_width.h"
#include "layout/clock_note.h"
#include "layout/report_layout.h"
#include "refresh/outcome.h"

namespace {

// Shown where a cause is shortened.
constexpr std::string_view CUT = "...";
// A cause is not shortened below this many cells (its "..." included) to
// keep its time: then the time goes, and the cause keeps what fits.
constexpr int SHORTEST_CAUSE = 12;

std::string across_column(std::string text) {
  const int missing = REPORT_COLUMN_WIDTH - cell_width(text);
  if (missing > 0) text.append(static_cast<std::size_t>(missing), ' ');
  return text;
}

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// text in at most cells cells: whole, or its start and "..." (what fits of
// "..." when even that is too wide).
std::string shortened(std::string_view text, int cells) {
  if (cell_width(text) <= cells) return std::string(text);
  const int cut_cells = static_cast<int>(CUT.size());
  if (cells <= cut_cells) return std::string(CUT.substr(0, static_cast<std::size_t>(cells > 0 ? cells : 0)));
  std::string kept(first_cells(text, cells - cut_cells));
  // "maxage..." rather than "maxage ...".
  while (!kept.empty() && kept.back() == ' ') kept.pop_back();
  return kept.append(CUT);
}

}  // namespace

std::string server_header(std::string_view name, bool exclude_fault) {
  std::string text(" ");
  text.append(name);
  if (exclude_fault) text.append(EXCLUDE_FAULT_MARK).append(" ");
  return across_column(std::move(text));
}

std::string_view banner_words(const Outcome& failing) {
  return failing.banner_text.empty() ? NO_CONNECTION_TEXT : std::string_view(failing.banner_text);
}

std::string failing_server_words(std::string_view name, const Outcome& failing) {
  std::string text(" ");
  text.append(name).append(": ").append(trimmed(banner_words(failing))).append(" ");
  return text;
}

std::string failing_server_header(std::string_view name, const Outcome& failing, bool exclude_fault) {
  std::string text = failing_server_words(name, failing);
  if (exclude_fault) text.append(EXCLUDE_FAULT_MARK.substr(1)).append(" ");
  return across_column(std::move(text));
}

std::string failing_reason(const Outcome& failing) {
  return reason_since_text(failing.reason, failing.failing_since, failing.cause_since);
}

std::string fitted_reason(std::string_view lead, const Outcome& failing, int cells) {
  // ", since HH:MM:SS", or with a changed cause "... (no list since HH:MM:SS)".
  const std::string since = reason_since_text({}, failing.failing_since, failing.cause_since);
  const std::string_view cause = failing.reason;
  std::string text(lead);
  const int room = cells - cell_width(lead);
  const int cause_room = room - cell_width(since);
  if (cell_width(cause) <= cause_room)
    text.append(cause).append(since);
  else if (cause_room >= SHORTEST_CAUSE)
    text.append(shortened(cause, cause_room)).append(since);
  else
    text.append(shortened(cause, room));
  return text;
}
