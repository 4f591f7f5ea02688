#include "report/curses_painter.h"

#include <curses.h>

#include "report/screen_writer.h"

namespace {

// Page text is shown as text: a control byte (a carriage return, a tab, an
// escape) is written as ^X instead of letting curses move the cursor, which
// would let one name overwrite another's label.
void add_text(std::string_view text) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != 0x7f) continue;
    if (i > start) waddnstr(stdscr, text.data() + start, static_cast<int>(i - start));
    waddstr(stdscr, unctrl(c));
    start = i + 1;
  }
  if (text.size() > start) waddnstr(stdscr, text.data() + start, static_cast<int>(text.size() - start));
}

}  // namespace

void paint_frame(const Frame& frame) {
  wbkgd(stdscr, COLOR_PAIR(frame.background));
  for (const Label& label : frame.labels) {
    if (wmove(stdscr, label.row, label.column) == ERR) continue;
    const attr_t attribute = (label.pair ? COLOR_PAIR(label.pair) : 0) | (label.bold ? A_BOLD : 0);
    wattr_on(stdscr, attribute, nullptr);
    waddch(stdscr, ' ');
    add_text(label.text);
    if (!label.service_name) waddch(stdscr, ' ');
    wattr_off(stdscr, attribute, nullptr);
  }
}
