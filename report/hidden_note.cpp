#include "report/hidden_note.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace {

constexpr std::string_view NOTE_START = " +";
constexpr std::string_view NOTE_END = " hidden ";

}  // namespace

void put_hidden_note(Frame& frame, HiddenNoteText& text) {
  if (frame.hidden_labels <= 0 || frame.rows <= 0 || frame.columns <= 0) return;
  char* const first = text.bytes.data();
  char* const end = first + text.bytes.size();
  char* at = std::copy(NOTE_START.begin(), NOTE_START.end(), first);
  at = std::to_chars(at, end - NOTE_END.size(), frame.hidden_labels).ptr;
  at = std::copy(NOTE_END.begin(), NOTE_END.end(), at);
  const std::string_view note(first, static_cast<std::size_t>(at - first));
  const std::size_t shown = std::min(note.size(), static_cast<std::size_t>(frame.columns));
  frame.labels.push_back({frame.rows - 1, frame.columns - static_cast<int>(shown), note.substr(note.size() - shown),
                          ALARM_ROLE, true, LabelForm::PLAIN});
}
