// Widths of names on the screen, in terminal cells as the terminal shows
// UTF-8: wide characters two, combining marks none, control characters two
// (^X), broken bytes one each.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "layout/cell_width.h"

namespace {

TEST(CellWidth, CountsCellsNotBytesNorCharacters) {
  struct Case {
    const char* name;
    std::string_view text;
    int cells;
  };
  const Case cases[] = {
      {"ASCII", "prod", 4},
      {"empty", "", 0},
      {"CJK ideographs: two cells each", "東京", 4},
      {"kana and Hangul", "サーバ서버", 10},
      {"fullwidth forms", "ＡＢ", 4},
      {"Latin with accents, one cell each", "Zürich", 6},
      {"a combining accent takes no cell", "e\xCC\x81t\xC3\xA9", 3},
      {"a control character is shown as ^X", "a\tb", 4},
      {"an emoji", "\xF0\x9F\x94\xA5", 2},
      {"a byte that starts nothing", "a\xFF" "b", 3},
      {"a sequence cut short", "a\xE6\x9D", 3},
      {"an overlong form is bytes", "\xC0\xAF", 2},
      {"a surrogate is bytes", "\xED\xA0\x80", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(cell_width(c.text), c.cells);
  }
}

TEST(CellWidth, FirstCellsKeepsWholeCharacters) {
  struct Case {
    const char* name;
    std::string_view text;
    int cells;
    std::string_view start;
  };
  const Case cases[] = {
      {"ASCII cut", "production", 4, "prod"},
      {"all of it", "prod", 10, "prod"},
      {"none", "prod", 0, ""},
      {"a wide character that would straddle the end is left out", "東京都", 5, "東京"},
      {"a wide character that fits", "東京都", 6, "東京都"},
      {"a combining mark stays with its letter", "e\xCC\x81" "x", 1, "e\xCC\x81"},
      {"negative room", "prod", -3, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(first_cells(c.text, c.cells), c.start);
  }
}

}  // namespace
