#include "report/curses_painter.h"

#include <curses.h>

#include "report/screen_writer.h"

void paint_frame(const Frame& frame) {
  wbkgd(stdscr, COLOR_PAIR(frame.background));
  for (const Label& label : frame.labels) {
    const attr_t attribute = (label.pair ? COLOR_PAIR(label.pair) : 0) | (label.bold ? A_BOLD : 0);
    const int length = static_cast<int>(label.text.size());
    wattr_on(stdscr, attribute, nullptr);
    if (label.service_name)
      mvwprintw(stdscr, label.row, label.column, " %.*s", length, label.text.data());
    else
      mvwprintw(stdscr, label.row, label.column, " %.*s ", length, label.text.data());
    wattr_off(stdscr, attribute, nullptr);
  }
}
