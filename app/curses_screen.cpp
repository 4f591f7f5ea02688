#include "app/curses_screen.h"

#include <cstdio>

#include "common/frame.h"

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

attr_t attribute_of(ColourRole role, bool bold) {
  const short pair = colour_pair(role);
  return (pair ? COLOR_PAIR(pair) : 0) | (bold ? A_BOLD : 0);
}

}  // namespace

void set_palette() {
  for (short pair = 1; pair <= PAIR_COUNT; ++pair)
    for (const ColourPair& colours : ROLE_PAIRS)
      if (colours.pair == pair) {
        init_pair(pair, colours.foreground, colours.background);
        break;
      }
}

void paint_frame(const Frame& frame) {
  wbkgd(stdscr, attribute_of(frame.background, false));
  for (const Label& label : frame.labels) {
    if (wmove(stdscr, label.row, label.column) == ERR) continue;
    const attr_t attribute = attribute_of(label.role, label.bold);
    wattr_on(stdscr, attribute, nullptr);
    if (label.form != LabelForm::PLAIN) waddch(stdscr, ' ');
    add_text(label.text);
    if (label.form == LabelForm::PADDED) waddch(stdscr, ' ');
    wattr_off(stdscr, attribute, nullptr);
  }
}

bool open_offscreen_terminal(const char* terminal_type, int rows, int columns, OffscreenTerminal& terminal) {
  terminal.output = std::fopen("/dev/null", "w");
  terminal.input = std::fopen("/dev/null", "r");
  if (terminal.output && terminal.input)
    terminal.screen = newterm(const_cast<char*>(terminal_type), terminal.output, terminal.input);
  if (!terminal.screen) {
    close_offscreen_terminal(terminal);
    return false;
  }
  set_term(terminal.screen);
  // With no real terminal behind it, curses guesses a size; this one counts.
  if ((LINES != rows || COLS != columns) && resizeterm(rows, columns) != OK) {
    close_offscreen_terminal(terminal);
    return false;
  }
  if (!has_colors()) {
    close_offscreen_terminal(terminal);
    return false;
  }
  start_color();
  curs_set(0);
  set_palette();
  return true;
}

void close_offscreen_terminal(OffscreenTerminal& terminal) {
  if (terminal.screen) {
    endwin();
    delscreen(terminal.screen);
  }
  if (terminal.output) std::fclose(terminal.output);
  if (terminal.input) std::fclose(terminal.input);
  terminal = {};
}
