#include "layout/banner.h"

#include <algorithm>

#include "layout/frame.h"
#include "refresh/outcome.h"

void show_no_connection(Frame& frame) { show_banner(frame, NO_CONNECTION_TEXT); }

void show_banner(Frame& frame, std::string_view text) {
  const int row = frame.rows / 2;
  const int column = (frame.columns - static_cast<int>(text.size())) / 2;
  if (row < 0 || column < 0) return;
  frame.labels.push_back({row, column, keep_text(frame, text), BANNER_ROLE, false, LabelForm::PLAIN, frame.columns});
}

void show_reason_line(Frame& frame, std::string_view text) { show_reason_line(frame, text, frame.rows / 2 + 1); }

void show_reason_line(Frame& frame, std::string_view text, int row) {
  if (text.empty() || row < 0 || row >= frame.rows || frame.columns <= 0) return;
  const int column = std::max(0, (frame.columns - static_cast<int>(text.size())) / 2);
  frame.labels.push_back({row, column, keep_text(frame, text), TEXT_ROLE, false, LabelForm::PLAIN, frame.columns});
}
