#include "fetch/banner.h"

#include "common/frame.h"

void show_no_connection(Frame& frame) {
  const int row = frame.rows / 2;
  const int column = (frame.columns - static_cast<int>(NO_CONNECTION_TEXT.size())) / 2;
  if (row < 0 || column < 0) return;
  frame.labels.push_back({row, column, NO_CONNECTION_TEXT, BANNER_ROLE, false, LabelForm::PLAIN, frame.columns});
}
