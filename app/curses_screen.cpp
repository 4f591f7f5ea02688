#include "app/curses_screen.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <sys/ioctl.h>

#include "layout/frame.h"

namespace {

// Bytes go to curses a few at a time, so that drawing stops soon after a
// label's room is used up. Curses takes them one at a time either way.
constexpr std::size_t BYTES_AT_A_TIME = 8;
// Cells that one more batch can add past the point where drawing stops: up
// to four for each of its bytes and of the three an unfinished character
// may still hold.
constexpr int SCRATCH_SPARE = 4 * (static_cast<int>(BYTES_AT_A_TIME) + 3) + 4;

// Adds bytes while the cursor has not passed column stop_at (up to it a
// following byte can still change the last cell: a combining accent).
// Returns whether all of them went in.
bool add_bytes(WINDOW* window, const char* bytes, std::size_t count, int stop_at) {
  while (count && getcurx(window) <= stop_at) {
    const std::size_t batch = count < BYTES_AT_A_TIME ? count : BYTES_AT_A_TIME;
    waddnstr(window, bytes, static_cast<int>(batch));
    bytes += batch;
    count -= batch;
  }
  return count == 0;
}

// Page text is shown as text: a control byte (a carriage return, a tab, an
// escape) is written as ^X instead of letting curses move the cursor, which
// would let one name overwrite another's label. Its two cells are one
// character: both fit before stop_at or neither is written. Returns whether
// the whole text went in.
bool add_text(WINDOW* window, std::string_view text, int stop_at) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != 0x7f) continue;
    if (!add_bytes(window, text.data() + start, i - start, stop_at)) return false;
    const char* shown = unctrl(c);
    if (getcurx(window) + static_cast<int>(std::strlen(shown)) > stop_at) return false;
    waddstr(window, shown);
    start = i + 1;
  }
  return add_bytes(window, text.data() + start, text.size() - start, stop_at);
}

// How many of the first drawn cells of the scratch row hold whole
// characters that fit into room cells: a wide character fits whole or not
// at all.
int whole_cells(WINDOW* scratch, int drawn, int room) {
  int cell = 0;
  while (cell < drawn && cell < room) {
    cchar_t character;
    wchar_t text[CCHARW_MAX + 1] = {};
    attr_t attributes;
    short pair;
    if (mvwin_wch(scratch, 0, cell, &character) == ERR ||
        getcchar(&character, text, &attributes, &pair, nullptr) == ERR)
      break;
    const int width = wcwidth(text[0]) == 2 ? 2 : 1;
    if (cell + width > room) break;
    cell += width;
  }
  return cell;
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

// A label is drawn first into a scratch row, just as curses would draw it on
// the screen (so that invalid bytes and unprintable characters look and
// count as curses shows them), and only its whole characters that fit before
// the label's end are copied onto the screen. Nothing wraps onto the next
// row, and nothing is written into the next report column.
void paint_frame(const Frame& frame) {
  wbkgd(stdscr, attribute_of(frame.background, false));
  const int screen_columns = getmaxx(stdscr);
  WINDOW* scratch = newpad(1, screen_columns + SCRATCH_SPARE);
  if (!scratch) return;
  cchar_t background;
  wgetbkgrnd(stdscr, &background);
  wbkgrndset(scratch, &background);
  for (const Label& label : frame.labels) {
    if (wmove(stdscr, label.row, label.column) == ERR) continue;
    const int end = label.end_column < screen_columns ? label.end_column : screen_columns;
    const int room = end - label.column;
    if (room <= 0) continue;
    // Every label starts at the scratch row's first cell; curses forgets a
    // character the previous one left unfinished, as it is elsewhere.
    wmove(scratch, 0, 0);
    wattrset(scratch, attribute_of(label.role, label.bold));
    if (label.form != LabelForm::PLAIN) waddch(scratch, ' ');
    const bool whole = add_text(scratch, label.text, room);
    if (whole && label.form == LabelForm::PADDED) waddch(scratch, ' ');
    const int cells = whole_cells(scratch, getcurx(scratch), room);
    if (cells > 0) copywin(scratch, stdscr, 0, 0, label.row, label.column, label.row, label.column + cells - 1, FALSE);
  }
  delwin(scratch);
}

namespace {

// A positive whole number in the environment variable, or 0: the reading
// curses gives LINES and COLUMNS.
int size_from_environment(const char* name) {
  const char* text = std::getenv(name);
  if (!text || !*text) return 0;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 0);
  if (errno || *end || value <= 0 || value > INT_MAX) return 0;
  return static_cast<int>(value);
}

}  // namespace

bool follow_terminal_size(int fd) {
  winsize size = {};
  if (ioctl(fd, TIOCGWINSZ, &size) != 0) return false;
  int rows = size.ws_row;
  int columns = size.ws_col;
  if (const int fixed = size_from_environment("LINES")) rows = fixed;
  if (const int fixed = size_from_environment("COLUMNS")) columns = fixed;
  if (rows <= 0 || columns <= 0 || (rows == LINES && columns == COLS)) return false;
  return resizeterm(rows, columns) == OK;
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
