// One whole frame from any bytes: the first byte picks the screen size, the
// newcgi setting, the exclude list, how the transfer cuts the body into
// chunks and the character set; the rest is the page body, appended as
// libcurl would append it and then drawn as a successful cycle draws it, into
// an off-screen curses screen.
#include <algorithm>
#include <clocale>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <curses.h>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

#include "app/refresh_cycle.h"
#include "config/config_file.h"
#include "config/exclude_list.h"
#include "fetch/status_fetch.h"
#include "fuzz_check.h"
#include "report/problem_lines.h"
#include "report/report_pass.h"
#include "report/screen_writer.h"
#if ORVEK_FUZZ_REFERENCE_PASS
#include "reference_report_pass.h"
#endif

namespace {

struct ScreenSize {
  int rows;
  int columns;
};
constexpr ScreenSize SCREEN_SIZES[] = {{1, 1}, {24, 80}, {200, 500}};

// libcurl hands over at most 16 KiB at a time, often much less.
constexpr std::size_t CHUNK_SIZES[] = {1, 7, 512, 16384};

ExcludeList sample_excludes() { return make_exclude_list({"printer3", "Backup"}); }

#if ORVEK_FUZZ_REFERENCE_PASS
bool same_frame(const Frame& a, const Frame& b) {
  if (a.background != b.background || a.labels.size() != b.labels.size()) return false;
  for (std::size_t i = 0; i < a.labels.size(); ++i) {
    const Label& x = a.labels[i];
    const Label& y = b.labels[i];
    if (x.row != y.row || x.column != y.column || x.text != y.text || x.pair != y.pair || x.bold != y.bold ||
        x.service_name != y.service_name)
      return false;
  }
  return true;
}

// The report pass must lay out exactly the frame that the straightforward,
// quadratic pass kept beside the tests lays out, from the same cursor.
void compare_with_reference(std::string_view body, bool newcgi) {
  const std::vector<ProblemLine> lines = split_problem_lines(body);
  const ReportCursor start{0, 0, true, false};
  Frame fast(LINES, COLS);
  report_cursor = start;
  render_problems(lines, exclude_list, newcgi, fast);
  Frame slow(LINES, COLS);
  report_cursor = start;
  reference_render_problems(lines, exclude_list, newcgi, slow);
  FUZZ_CHECK(same_frame(fast, slow));
}
#endif

// The monitor draws in the terminal's character set: a console in the C
// locale, or, mostly, UTF-8. One screen for each, chosen per input.
constexpr const char* PLAIN_LOCALE = "C";
constexpr const char* UTF8_LOCALE = "C.UTF-8";
struct LocaleScreen {
  const char* locale;
  SCREEN* screen;
};
LocaleScreen screens[2];
const LocaleScreen* current_screen = nullptr;

LocaleScreen open_screen(const char* locale) {
  if (!std::setlocale(LC_CTYPE, locale)) {
    std::fprintf(stderr, "fuzz_frame: no locale %s\n", locale);
    std::abort();
  }
  std::FILE* screen_out = std::fopen("/dev/null", "w");
  std::FILE* screen_in = std::fopen("/dev/null", "r");
  SCREEN* screen = screen_out && screen_in ? newterm("xterm-256color", screen_out, screen_in) : nullptr;
  if (!screen) {
    std::fputs("fuzz_frame: no curses screen for xterm-256color\n", stderr);
    std::abort();
  }
  set_term(screen);
  if (!has_colors()) {
    std::fputs("fuzz_frame: xterm-256color without colours\n", stderr);
    std::abort();
  }
  start_color();
  curs_set(0);
  set_palette();
  return {locale, screen};
}

void use_screen(const LocaleScreen& chosen) {
  if (current_screen == &chosen) return;
  std::setlocale(LC_CTYPE, chosen.locale);
  set_term(chosen.screen);
  current_screen = &chosen;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // extract_field reports "No match!" on standard output.
  const int null_out = open("/dev/null", O_WRONLY);
  if (null_out < 0 || dup2(null_out, STDOUT_FILENO) < 0) std::abort();
  close(null_out);

  // Colour terminals that draw nowhere; their size comes from resizeterm
  // alone, not from the environment.
  unsetenv("LINES");
  unsetenv("COLUMNS");
  setenv("TERM", "xterm-256color", 1);
  screens[0] = open_screen(PLAIN_LOCALE);
  screens[1] = open_screen(UTF8_LOCALE);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const unsigned choice = size ? data[0] : 0;
  const std::string_view body = size ? std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1)
                                     : std::string_view();

  use_screen(screens[(choice >> 6) & 1u]);
  const ScreenSize screen = SCREEN_SIZES[(choice & 3u) % 3u];
  if (LINES != screen.rows || COLS != screen.columns) FUZZ_CHECK(resizeterm(screen.rows, screen.columns) == OK);
  settings.newcgi = (choice & 4u) ? "true" : "";
  static const ExcludeList excludes = sample_excludes();
  exclude_list = (choice & 8u) ? excludes : ExcludeList{};
  const std::size_t chunk = CHUNK_SIZES[(choice >> 4) & 3u];

  // The transfer: an emptied buffer, then the body piece by piece.
  reset_received_body();
  for (std::size_t at = 0; at < body.size(); at += chunk) {
    const std::size_t n = std::min(chunk, body.size() - at);
    FUZZ_CHECK(on_body_chunk(const_cast<char*>(body.data() + at), 1, n, nullptr) == n);
  }
  FUZZ_CHECK(received_length == static_cast<std::int32_t>(body.size()));
  FUZZ_CHECK(received_text() == body.substr(0, body.find('\0')));

  // The rest of a successful cycle.
  wclear(stdscr);
  wbkgd(stdscr, COLOR_PAIR(5));
  report_cursor.new_frame = true;
  draw_report(received_text());
  FUZZ_CHECK(report_cursor.row >= 0 && report_cursor.column >= 0);
  FUZZ_CHECK(report_cursor.column % REPORT_COLUMN_WIDTH == 0);
#if ORVEK_FUZZ_REFERENCE_PASS
  compare_with_reference(received_text(), settings.newcgi == "true");
#endif
  return 0;
}
