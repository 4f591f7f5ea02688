#include "fetch/banner.h"

#include <curses.h>

void show_no_connection() {
  const int row = getmaxy(stdscr) / 2;
  const int column = (getmaxx(stdscr) - static_cast<int>(NO_CONNECTION_TEXT.size())) / 2;
  wattr_on(stdscr, COLOR_PAIR(7), nullptr);
  mvwprintw(stdscr, row, column, "%s", NO_CONNECTION_TEXT.data());
  wattr_off(stdscr, COLOR_PAIR(7), nullptr);
}
