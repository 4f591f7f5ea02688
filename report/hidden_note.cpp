#include "report/hidden_note.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <string_view>

namespace {

constexpr std::string_view NOTE_START = " +";
constexpr std::string_view NOTE_END = " hidden ";

std::string_view note_text(int count, HiddenNoteText& text) {
  char* const first = text.bytes.data();
  char* const end = first + text.bytes.size();
  char* at = std::copy(NOTE_START.begin(), NOTE_START.end(), first);
  at = std::to_chars(at, end - NOTE_END.size(), count).ptr;
  at = std::copy(NOTE_END.begin(), NOTE_END.end(), at);
  return {first, static_cast<std::size_t>(at - first)};
}

// Labels of the report in the last row whose text shows, but not once the
// notes cover the row from column start on.
int covered_labels(const Frame& frame, int start) {
  int covered = 0;
  for (const Label& label : frame.labels)
    if (label.row == frame.rows - 1 && counted_when_hidden(label.role) && text_column(label) >= start &&
        text_column(label) < drawn_end(label, frame.columns))
      ++covered;
  return covered;
}

// The right-hand part of text that fits in room cells.
std::string_view right_part(std::string_view text, int room) {
  const auto shown = static_cast<std::size_t>(std::max(room, 0));
  return shown < text.size() ? text.substr(text.size() - shown) : text;
}

}  // namespace

void put_last_row_notes(Frame& frame, std::string_view clock, bool show_hidden, HiddenNoteText& text) {
  if (frame.rows <= 0 || frame.columns <= 0 || (!show_hidden && clock.empty())) return;
  // The note's width depends on the count, and the count on what the note
  // covers: widen until they agree. Both only grow, so this ends.
  std::string_view note;
  int hidden = frame.hidden_labels;
  for (;;) {
    const int width = static_cast<int>(clock.size() + note.size());
    hidden = frame.hidden_labels + covered_labels(frame, frame.columns - width);
    const std::string_view wanted = show_hidden && hidden > 0 ? note_text(hidden, text) : std::string_view();
    if (wanted.size() == note.size()) {
      note = wanted;
      break;
    }
    note = wanted;
  }
  frame.hidden_labels = hidden;
  const int last = frame.rows - 1;
  note = right_part(note, frame.columns);
  const int note_column = frame.columns - static_cast<int>(note.size());
  clock = right_part(clock, note_column);
  if (!clock.empty())
    frame.labels.push_back(
        {last, note_column - static_cast<int>(clock.size()), clock, TEXT_ROLE, false, LabelForm::PLAIN});
  if (!note.empty()) frame.labels.push_back({last, note_column, note, ALARM_ROLE, true, LabelForm::PLAIN});
}

void put_hidden_note(Frame& frame, HiddenNoteText& text) { put_last_row_notes(frame, {}, true, text); }
