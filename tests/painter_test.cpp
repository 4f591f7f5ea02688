// The painter on an off-screen curses screen, in the C locale and in UTF-8:
// text that fits is drawn exactly as curses draws it when handed the bytes
// straight; text that does not fit stops at the label's end, on a whole
// character, and nothing wraps or lands beyond it.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "app/curses_screen.h"
#include "layout/frame.h"

namespace {

constexpr int ROWS = 3;
constexpr int COLUMNS = 300;
constexpr int LABEL_ROW = 1;
constexpr int LABEL_COLUMN = 5;

struct ScreenCell {
  std::wstring characters;  // the spacing character and any combining ones
  attr_t attributes;
  short pair;
  bool operator==(const ScreenCell&) const = default;
};

std::vector<ScreenCell> row_cells(int row) {
  std::vector<ScreenCell> cells;
  for (int column = 0; column < COLUMNS; ++column) {
    cchar_t cell;
    wchar_t characters[CCHARW_MAX + 1] = {};
    attr_t attributes = 0;
    short pair = 0;
    mvwin_wch(stdscr, row, column, &cell);
    getcchar(&cell, characters, &attributes, &pair, nullptr);
    cells.push_back({characters, attributes, pair});
  }
  return cells;
}

attr_t attribute_of(const Label& label) {
  const short pair = colour_pair(label.role);
  return (pair ? COLOR_PAIR(pair) : 0) | (label.bold ? A_BOLD : 0);
}

// The painter as it was before labels had an end: the bytes handed to curses
// straight onto the screen, control bytes as ^X. On a screen wide enough
// for the text, this is what curses shows.
void draw_straight(const Label& label) {
  wmove(stdscr, label.row, label.column);
  wattr_on(stdscr, attribute_of(label), nullptr);
  if (label.form != LabelForm::PLAIN) waddch(stdscr, ' ');
  std::size_t start = 0;
  for (std::size_t i = 0; i < label.text.size(); ++i) {
    const auto c = static_cast<unsigned char>(label.text[i]);
    if (c >= 0x20 && c != 0x7f) continue;
    if (i > start) waddnstr(stdscr, label.text.data() + start, static_cast<int>(i - start));
    waddstr(stdscr, unctrl(c));
    start = i + 1;
  }
  if (label.text.size() > start)
    waddnstr(stdscr, label.text.data() + start, static_cast<int>(label.text.size() - start));
  if (label.form == LabelForm::PADDED) waddch(stdscr, ' ');
  wattr_off(stdscr, attribute_of(label), nullptr);
}

struct Screens {
  OffscreenTerminal plain;  // the C locale
  OffscreenTerminal utf8;
};

// Texts that fit, that do not, and bytes curses has its own ways with:
// controls, invalid and unfinished UTF-8, wide, combining and zero-width
// characters.
const std::vector<std::string> TEXTS = {
    "",
    "web1",
    "HTTPS certificate expiry check for the public load balancer pool",
    "gamma\rQQ",
    "Load\tX\x1b[31m\x7f",
    "caf\xc3\xa9",
    "\xe4\xb8\xad\xe6\x96\x87\xe5\x90\x8d\xe5\xad\x97 db",
    "a\xcc\x81" "b\xcc\x81\xcc\x81" "c",
    "\xe4 x",
    "\xe4\xe4\xe4",
    "\xe4\xb8x\xc3",
    "\x80\x80 \xff\xfe",
    "\xc0\x80\xed\xa0\x80",
    "x\xc2\x85y\xc2\x9b",
    "zero\xe2\x80\x8bwidth\xef\xbb\xbf",
    "\xf0\x9f\x98\x80 smile",
    "ends unfinished \xe4\xb8",
    "\xe3\x80\x80\xef\xbc\xa1\xef\xbc\xa2",
    "\x01\x02\x03\x04",
};

const LabelForm FORMS[] = {LabelForm::PADDED, LabelForm::SERVICE_NAME, LabelForm::PLAIN};

class Painter : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    unsetenv("LINES");
    unsetenv("COLUMNS");
    screens_ = new Screens;
    ASSERT_TRUE(std::setlocale(LC_CTYPE, "C"));
    ASSERT_TRUE(open_offscreen_terminal("xterm-256color", ROWS, COLUMNS, screens_->plain));
    ASSERT_TRUE(std::setlocale(LC_CTYPE, "C.UTF-8"));
    ASSERT_TRUE(open_offscreen_terminal("xterm-256color", ROWS, COLUMNS, screens_->utf8));
  }
  static void TearDownTestSuite() {
    close_offscreen_terminal(screens_->plain);
    close_offscreen_terminal(screens_->utf8);
    delete screens_;
    std::setlocale(LC_CTYPE, "C");
  }

  struct Locale {
    const char* name;
    OffscreenTerminal* terminal;
  };
  static std::vector<Locale> locales() { return {{"C", &screens_->plain}, {"C.UTF-8", &screens_->utf8}}; }
  static void use(const Locale& locale) {
    std::setlocale(LC_CTYPE, locale.name);
    set_term(locale.terminal->screen);
  }

  // The label row as the straight drawing leaves it.
  static std::vector<ScreenCell> straight(const Label& label) {
    werase(stdscr);
    wbkgd(stdscr, COLOR_PAIR(colour_pair(NORMAL_ROLE)));
    draw_straight(label);
    return row_cells(label.row);
  }

  // Every row as the painter leaves it.
  static std::vector<std::vector<ScreenCell>> painted(const Label& label) {
    werase(stdscr);
    Frame frame(ROWS, COLUMNS);
    frame.labels.push_back(label);
    paint_frame(frame);
    std::vector<std::vector<ScreenCell>> rows;
    for (int row = 0; row < ROWS; ++row) rows.push_back(row_cells(row));
    return rows;
  }

  static std::vector<ScreenCell> blank_row() {
    werase(stdscr);
    wbkgd(stdscr, COLOR_PAIR(colour_pair(NORMAL_ROLE)));
    return row_cells(0);
  }

  static Label label(const std::string& text, LabelForm form, int end_column = AT_RIGHT_EDGE) {
    const bool service = form == LabelForm::SERVICE_NAME;
    return {LABEL_ROW, LABEL_COLUMN, text, service ? TEXT_ROLE : CRITICAL_ROLE, service, form, end_column};
  }

  // How many cells from the label's column on differ from a blank row.
  static int used_cells(const std::vector<ScreenCell>& row, const std::vector<ScreenCell>& blank) {
    int used = 0;
    for (int column = LABEL_COLUMN; column < COLUMNS; ++column)
      if (!(row[static_cast<std::size_t>(column)] == blank[static_cast<std::size_t>(column)])) used = column + 1;
    return used > 0 ? used - LABEL_COLUMN : 0;
  }

  inline static Screens* screens_ = nullptr;
};

TEST_F(Painter, TextThatFitsIsDrawnAsCursesDrawsItStraight) {
  for (const Locale& locale : locales()) {
    use(locale);
    for (const std::string& text : TEXTS)
      for (const LabelForm form : FORMS) {
        const Label l = label(text, form);
        const std::vector<ScreenCell> want = straight(l);
        const auto got = painted(l);
        EXPECT_TRUE(got[LABEL_ROW] == want) << locale.name << " text \"" << text << "\" form "
                                            << static_cast<int>(form);
      }
  }
}

// For every room from none to more than the text needs: the painted cells
// are the straight drawing's first cells, nothing lands at or beyond the
// end, no other row is touched, and at most one cell of the room stays
// empty (the half of a wide character or of a ^X that did not fit).
TEST_F(Painter, TextIsCutAtTheLabelsEnd) {
  for (const Locale& locale : locales()) {
    use(locale);
    const std::vector<ScreenCell> blank = blank_row();
    for (const std::string& text : TEXTS)
      for (const LabelForm form : FORMS) {
        const std::vector<ScreenCell> whole = straight(label(text, form));
        const int full = used_cells(whole, blank);
        for (int room = 0; room <= full + 2; ++room) {
          const auto got = painted(label(text, form, LABEL_COLUMN + room));
          const std::string where = std::string(locale.name) + " text \"" + text + "\" form " +
                                    std::to_string(static_cast<int>(form)) + " room " + std::to_string(room);
          EXPECT_TRUE(got[0] == blank && got[2] == blank) << where;
          const int used = used_cells(got[LABEL_ROW], blank);
          EXPECT_LE(used, room) << where;
          EXPECT_GE(used, std::min(room, full) - 1) << where;
          for (int column = 0; column < LABEL_COLUMN + used; ++column)
            EXPECT_TRUE(got[LABEL_ROW][static_cast<std::size_t>(column)] == whole[static_cast<std::size_t>(column)])
                << where << " column " << column;
          if (room >= full) {
            EXPECT_TRUE(got[LABEL_ROW] == whole) << where;
          }
        }
      }
  }
}

TEST_F(Painter, WideCharactersAndControlBytesAreNeverHalved) {
  use(locales()[1]);
  const std::vector<ScreenCell> blank = blank_row();
  const std::string cjk = "\xe4\xb8\xad\xe6\x96\x87\xe5\x90\x8d";  // three characters, two cells each
  struct Case {
    std::string text;
    int room;
    std::string shown;  // from the label's column, room cells
  };
  const std::vector<Case> cases = {
      {cjk, 8, " " + cjk + " "},
      {cjk, 7, " " + cjk},
      {cjk, 6, " \xe4\xb8\xad\xe6\x96\x87 "},  // the third would need cells 5 and 6
      {cjk, 5, " \xe4\xb8\xad\xe6\x96\x87"},
      {cjk, 2, "  "},
      {"ab\rcd", 5, " ab^M"},
      {"ab\rcd", 4, " ab "},
      {"abcdefgh\xcc\x81", 9, " abcdefgh\xcc\x81"},  // the accent stays with its letter
  };
  for (const Case& c : cases) {
    const auto got = painted(label(c.text, LabelForm::SERVICE_NAME, LABEL_COLUMN + c.room));
    std::string shown;
    for (int column = LABEL_COLUMN; column < LABEL_COLUMN + c.room; ++column) {
      const std::wstring& characters = got[LABEL_ROW][static_cast<std::size_t>(column)].characters;
      for (const wchar_t w : characters) {
        char bytes[MB_LEN_MAX];
        std::mbstate_t state{};
        const std::size_t n = std::wcrtomb(bytes, w, &state);
        if (n != static_cast<std::size_t>(-1)) shown.append(bytes, n);
      }
      if (wcwidth(characters[0]) == 2) ++column;
    }
    EXPECT_EQ(shown, c.shown) << "room " << c.room;
    EXPECT_TRUE(got[LABEL_ROW][static_cast<std::size_t>(LABEL_COLUMN + c.room)] ==
                blank[static_cast<std::size_t>(LABEL_COLUMN + c.room)])
        << "room " << c.room;
  }
}

}  // namespace
