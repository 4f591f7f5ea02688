#include "layout/hidden_note.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <string_view>

namespace {

constexpr std::string_view NOTE_START = " +";
constexpr std::string_view NOTE_END = " hidden ";

constexpr std::string_view UNREAD_START = " ";
constexpr std::string_view UNREAD_END = " unread ";

// Room for a note's text with any count.
using CountText = std::array<char, 24>;

std::string_view count_text(int count, std::string_view start, std::string_view finish, CountText& text) {
  char* const first = text.data();
  char* const end = first + text.size();
  char* at = std::copy(start.begin(), start.end(), first);
  at = std::to_chars(at, end - finish.size(), count).ptr;
  at = std::copy(finish.begin(), finish.end(), at);
  return {first, static_cast<std::size_t>(at - first)};
}

std::string_view note_text(int count, CountText& text) { return count_text(count, NOTE_START, NOTE_END, text); }

// Labels of the report in the last row whose text shows, but not once the
// notes cover the row from column start on, or other labels its first
// left_cells cells: a label whose text starts under either cannot be read.
int covered_labels(const Frame& frame, int start, int left_cells) {
  int covered = 0;
  for (const Label& label : frame.labels)
    if (label.row == frame.rows - 1 && counted_when_hidden(label.role) &&
        (text_column(label) >= start || text_column(label) < left_cells) &&
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

void put_last_row_notes(Frame& frame, std::string_view clock, bool show_hidden) {
  put_last_row_notes(frame, 0, clock, show_hidden);
}

void put_last_row_notes(Frame& frame, int unread_count, std::string_view clock, bool show_hidden) {
  put_last_row_notes(frame, LastRowNotes{unread_count, {}, clock, show_hidden, 0});
}

void put_last_row_notes(Frame& frame, const LastRowNotes& notes) {
  CountText note_bytes, unread_bytes;  // copied into the frame once laid
  std::string_view unread = notes.unread > 0 ? count_text(notes.unread, UNREAD_START, UNREAD_END, unread_bytes)
                                             : std::string_view();
  std::string_view waiting = notes.waiting;
  std::string_view clock = notes.clock;
  const bool show_hidden = notes.show_hidden;
  if (frame.rows <= 0 || frame.columns <= 0 ||
      (!show_hidden && clock.empty() && waiting.empty() && unread.empty()))
    return;
  // The note's width depends on the count, and the count on what the note
  // covers: widen until they agree. Both only grow, so this ends.
  std::string_view note;
  int hidden = frame.hidden_labels;
  for (;;) {
    const int width = static_cast<int>(unread.size() + waiting.size() + clock.size() + note.size());
    hidden = frame.hidden_labels + covered_labels(frame, frame.columns - width, notes.covered_at_left);
    const std::string_view wanted = show_hidden && hidden > 0 ? note_text(hidden, note_bytes) : std::string_view();
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
  const int clock_column = note_column - static_cast<int>(clock.size());
  waiting = right_part(waiting, clock_column);
  const int waiting_column = clock_column - static_cast<int>(waiting.size());
  unread = right_part(unread, waiting_column);
  if (!unread.empty())
    frame.labels.push_back({last, waiting_column - static_cast<int>(unread.size()), keep_text(frame, unread),
                            ALARM_ROLE, true, LabelForm::PLAIN});
  if (!waiting.empty())
    frame.labels.push_back({last, waiting_column, keep_text(frame, waiting), TEXT_ROLE, false, LabelForm::PLAIN});
  if (!clock.empty())
    frame.labels.push_back({last, clock_column, keep_text(frame, clock), TEXT_ROLE, false, LabelForm::PLAIN});
  if (!note.empty())
    frame.labels.push_back({last, note_column, keep_text(frame, note), ALARM_ROLE, true, LabelForm::PLAIN});
}

void put_hidden_note(Frame& frame) { put_last_row_notes(frame, {}, true); }
