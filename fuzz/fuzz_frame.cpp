// One whole frame from any bytes: the first byte picks the screen size, the
// newcgi setting, the exclude list, how the transfer cuts the body into
// chunks, the character set and whether -m is given (a body of odd length
// adds -u); the rest is the page body, appended as libcurl would append it,
// read as a refresh reads it and then composed and drawn as the cycle does
// (the report or the banner, the reason under it, the last row's notes),
// into an off-screen curses screen.
#include <algorithm>
#include <clocale>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <curses.h>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "config/command_line.h"
#include "app/curses_screen.h"
#include "layout/frame_composition.h"
#include "refresh/refresh_record.h"
#include "layout/frame.h"
#include "config/exclude_list.h"
#include "layout/banner.h"
#include "fetch/status_fetch.h"
#include "fuzz_check.h"
#include "layout/clock_note.h"
#include "report/html_names.h"
#include "report/page_check.h"
#include "report/problem_lines.h"
#include "report/report_pass.h"
#include "layout/report_layout.h"
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

// When the fetch ended, and when the run of failures began.
constexpr std::time_t FETCHED_AT = 1796991296;
constexpr std::time_t FAILING_SINCE = FETCHED_AT - 3600;

ExcludeList sample_excludes() { return make_exclude_list({"printer3", "Backup"}); }

#if ORVEK_FUZZ_REFERENCE_PASS
bool same_report(const Report& a, const Report& b) {
  if (a.alarm != b.alarm || a.unmatched != b.unmatched || a.items.size() != b.items.size()) return false;
  for (std::size_t i = 0; i < a.items.size(); ++i) {
    const ReportItem& x = a.items[i];
    const ReportItem& y = b.items[i];
    if (x.kind != y.kind || x.name != y.name || (x.kind == ReportItemKind::SERVICE && x.status != y.status))
      return false;
  }
  return true;
}

// The report pass must make exactly the report that the straightforward,
// quadratic pass kept beside the tests makes.
void compare_with_reference(const std::vector<ProblemLine>& lines, const std::vector<LineNames>& names,
                            const ExcludeList& excludes) {
  FUZZ_CHECK(same_report(render_problems(lines, names, excludes), reference_render_problems(lines, names, excludes)));
}
#endif

// Whether the texts follow one another in text, each after the end of the
// one before; the last one is sought from the end.
bool in_order(const std::string& text, std::initializer_list<const char*> parts, const char* last) {
  std::size_t at = 0;
  for (const char* part : parts) {
    at = text.find(part, at);
    if (at == std::string::npos) return false;
    at += std::strlen(part);
  }
  const std::size_t end = text.rfind(last);
  return end != std::string::npos && end >= at;
}

// The page check said the plain way: the body folded to lower case, then
// searched with std::string's own find; comments cut out first where a
// complete status document is sought.
PageVerdict plain_page_check(std::string_view body, bool has_problem_lines, bool has_names) {
  std::string folded(body);
  for (char& c : folded)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  const auto npos = std::string::npos;
  if (body.find('\0') != npos) return PageVerdict::ZERO_BYTE;
  const std::size_t wml = folded.find("<wml");
  if (wml != npos) {
    const std::size_t end = folded.rfind("</wml>");
    if (end == npos || end < wml) return PageVerdict::CUT_SHORT;
  }
  // A page whose problem lines yield no name is no list.
  if (has_problem_lines) return has_names ? PageVerdict::STATUS_PAGE : PageVerdict::NO_NAMES;
  std::string text;
  for (std::size_t at = 0;;) {
    const std::size_t open = folded.find("<!--", at);
    text += folded.substr(at, open == npos ? npos : open - at);
    if (open == npos) break;
    const std::size_t close = folded.find("-->", open + 4);
    if (close == npos) break;
    at = close + 3;
  }
  const bool document = in_order(text, {"<wml", "<card", "</card>"}, "</wml>");
  const bool problems_card = in_order(text,
                                      {"<wml", "<card", "host problems:", "<table", "</table>", "svc problems:",
                                       "<table", "</table>", "</card>"},
                                      "</wml>");
  const bool rendition =
      in_order(text, {"<html", "host problems:", "<table", "</table>", "svc problems:", "<table", "</table>"}, "</html>");
  // Only the list of problems is an all-clear; another card is none.
  if (problems_card) return PageVerdict::STATUS_PAGE;
  if (document) return PageVerdict::OTHER_CARD;
  return rendition ? PageVerdict::STATUS_PAGE : PageVerdict::NO_CARD;
}

// The labels of b begin the labels of a.
bool labels_begin_with(const Frame& a, const Frame& b) {
  if (a.labels.size() < b.labels.size()) return false;
  for (std::size_t i = 0; i < b.labels.size(); ++i) {
    const Label& x = a.labels[i];
    const Label& y = b.labels[i];
    if (x.row != y.row || x.column != y.column || x.text != y.text || x.role != y.role || x.bold != y.bold ||
        x.form != y.form)
      return false;
  }
  return true;
}

// The monitor draws in the terminal's character set: a console in the C
// locale, or, mostly, UTF-8. One screen for each, chosen per input.
constexpr const char* PLAIN_LOCALE = "C";
constexpr const char* UTF8_LOCALE = "C.UTF-8";
struct LocaleScreen {
  const char* locale;
  OffscreenTerminal terminal;
};
LocaleScreen screens[2];
const LocaleScreen* current_screen = nullptr;

LocaleScreen open_screen(const char* locale) {
  if (!std::setlocale(LC_CTYPE, locale)) {
    std::fprintf(stderr, "fuzz_frame: no locale %s\n", locale);
    std::abort();
  }
  OffscreenTerminal terminal;
  if (!open_offscreen_terminal("xterm-256color", 24, 80, terminal)) {
    std::fputs("fuzz_frame: no colour curses screen for xterm-256color\n", stderr);
    std::abort();
  }
  return {locale, terminal};
}

void use_screen(const LocaleScreen& chosen) {
  if (current_screen == &chosen) return;
  std::setlocale(LC_CTYPE, chosen.locale);
  set_term(chosen.terminal.screen);
  current_screen = &chosen;
}

// Every cell the painter wrote lies inside a label's own cells, from its
// column up to its end: nothing wrapped onto another row or ran into the
// next report column. Blank cells in the background's colours are left.
void check_nothing_beyond_labels(const Frame& frame) {
  const int rows = getmaxy(stdscr);
  const int columns = getmaxx(stdscr);
  std::vector<std::vector<bool>> owned(static_cast<std::size_t>(rows),
                                       std::vector<bool>(static_cast<std::size_t>(columns), false));
  for (const Label& label : frame.labels) {
    if (label.row < 0 || label.row >= rows) continue;
    const int end = std::min(label.end_column, columns);
    for (int column = std::max(label.column, 0); column < end; ++column)
      owned[static_cast<std::size_t>(label.row)][static_cast<std::size_t>(column)] = true;
  }
  cchar_t blank;
  wgetbkgrnd(stdscr, &blank);
  for (int row = 0; row < rows; ++row)
    for (int column = 0; column < columns; ++column) {
      if (owned[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)]) continue;
      cchar_t cell;
      FUZZ_CHECK(mvwin_wch(stdscr, row, column, &cell) == OK);
      FUZZ_CHECK(std::memcmp(&cell, &blank, sizeof cell) == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
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
  // set_term leaves LINES and COLS as the other screen had them: the size
  // is that of this screen's own window.
  if (getmaxy(stdscr) != screen.rows || getmaxx(stdscr) != screen.columns)
    FUZZ_CHECK(resizeterm(screen.rows, screen.columns) == OK);
  const bool newcgi = choice & 4u;
  static const ExcludeList sample = sample_excludes();
  static const ExcludeList no_excludes;
  const ExcludeList& excludes = (choice & 8u) ? sample : no_excludes;
  const std::size_t chunk = CHUNK_SIZES[(choice >> 4) & 3u];
  const bool show_hidden = choice & 0x80u;

  // The transfer: an emptied buffer, then the body piece by piece.
  static ReceiveBuffer buffer = make_receive_buffer();
  reset_received_body(buffer);
  for (std::size_t at = 0; at < body.size(); at += chunk) {
    const std::size_t n = std::min(chunk, body.size() - at);
    FUZZ_CHECK(on_body_chunk(const_cast<char*>(body.data() + at), 1, n, &buffer) == n);
  }
  FUZZ_CHECK(buffer.length == body.size());
  const std::string_view text = received_text(buffer);
  FUZZ_CHECK(text == body.substr(0, body.find('\0')));

  // The rest of a successful cycle.
  wclear(stdscr);
  wbkgd(stdscr, COLOR_PAIR(colour_pair(NORMAL_ROLE)));
  const PageLines page = read_page_lines(text);
  const std::vector<ProblemLine>& lines = page.lines;
  std::vector<LineNames> names = read_names(lines, newcgi);
  const bool has_names = std::any_of(names.begin(), names.end(), [](const LineNames& n) { return n.any(); });
  // The frame as the wall composes it, the reason under a banner as the
  // refresh words it.
  RefreshRecord record = read_refresh({}, {}, buffer, excludes, newcgi);
  Outcome& shown = record.outcome;
  shown.fetched_at = FETCHED_AT;
  if (shown.banner) {
    shown.failing_since = FAILING_SINCE;
    // A banner always says why.
    FUZZ_CHECK(!shown.reason.empty());
  }
  Options wall;
  wall.show_hidden = show_hidden;
  wall.show_clock = body.size() % 2;
  Frame frame(screen.rows, screen.columns);
  const ServerView server{{}, &shown};
  compose_frame(std::span(&server, 1), wall, frame);
  const int unmatched = shown.report.unmatched;
  PageVerdict verdict =
      check_page(received_body(buffer), !lines.empty(), has_names, page_kind(received_body(buffer)));
  FUZZ_CHECK(verdict == plain_page_check(received_body(buffer), !lines.empty(), has_names));
  Report made;
  std::shared_ptr<const std::string> decoded;
  if (verdict == PageVerdict::STATUS_PAGE) {
    if (is_html_page(text)) decoded = decode_html_names(names);
    made = render_problems(lines, names, excludes);
    // Rows that could not be read: counted, and red where one may be a DOWN
    // or UNREACHABLE host.
    made.unread_rows = static_cast<int>(page.unread.size());
    for (const UnreadRow& row : page.unread) made.alarm = made.alarm || (row.tokens & (TOKEN_DWN | TOKEN_UNR));
    verdict = check_calm(verdict, made.items.empty() && made.unread_rows == 0, made.unmatched, page.unread_status_cell);
  }
  // What the report or the banner lays out alone, before the notes.
  Frame alone(screen.rows, screen.columns);
  ReportWriter writer{&alone};
  if (verdict == PageVerdict::STATUS_PAGE) {
    // Never calm unless the server's own list said so: a page drawn has a
    // name read, or is the list of problems without problems; nothing shown
    // only when every problem was read.
    const PageKind kind = page_kind(received_body(buffer));
    FUZZ_CHECK(lines.empty() ? kind == PageKind::PROBLEMS_CARD || kind == PageKind::HTML_RENDITION : has_names);
    FUZZ_CHECK(!made.items.empty() || made.unread_rows > 0 || (made.unmatched == 0 && !page.unread_status_cell));
    FUZZ_CHECK(shown.report.unread_rows == made.unread_rows);
    FUZZ_CHECK(text.size() == received_body(buffer).size());
    // The report, as the layout makes it from the page alone.
    lay_out_report(made, writer);
    FUZZ_CHECK(!shown.banner);
    FUZZ_CHECK(unmatched == made.unmatched);
    FUZZ_CHECK(frame.background == alone.background);
  } else {
    // Anything but the server's list of problems: the banner and nothing else.
    show_no_connection(alone);
    FUZZ_CHECK(shown.banner && unmatched == 0);
    FUZZ_CHECK(frame.background == NORMAL_ROLE && alone.hidden_labels == 0);
  }
  FUZZ_CHECK(labels_begin_with(frame, alone));
  std::size_t report_labels = alone.labels.size();
  const int hidden_before = alone.hidden_labels;
  if (wall.show_clock && shown.banner && screen.rows / 2 + 1 < screen.rows) {
    // -u: the reason in the row under the banner, in the background's colours.
    FUZZ_CHECK(frame.labels.size() > report_labels);
    const Label& reason = frame.labels[report_labels++];
    FUZZ_CHECK(reason.row == screen.rows / 2 + 1 && reason.column >= 0 && reason.role == TEXT_ROLE && !reason.bold);
    FUZZ_CHECK(reason.text.starts_with(shown.reason));
  }
  const ClockText clock_shown = wall.show_clock ? clock_text(FETCHED_AT) : ClockText{};
  const std::string_view clock = clock_shown.view();
  // The notes only ever add to the count, by labels they cover.
  FUZZ_CHECK(frame.hidden_labels >= hidden_before);
  FUZZ_CHECK(frame.hidden_labels - hidden_before <= static_cast<int>(report_labels));
  std::size_t notes = 0;
  int note_column = screen.columns;
  if (show_hidden && frame.hidden_labels > 0) {
    // The note ends in the last column of the last row.
    ++notes;
    const Label& last = frame.labels.back();
    FUZZ_CHECK(last.row == screen.rows - 1 && last.column >= 0);
    FUZZ_CHECK(last.column + static_cast<int>(last.text.size()) == screen.columns);
    FUZZ_CHECK(last.text.ends_with(' ') && last.role == ALARM_ROLE && last.bold);
    note_column = last.column;
  }
  if (!clock.empty() && note_column > 0) {
    // The clock's right-hand part ends where the note begins.
    ++notes;
    const Label& shown_clock = frame.labels[frame.labels.size() - notes];
    FUZZ_CHECK(shown_clock.row == screen.rows - 1 && shown_clock.column >= 0 && shown_clock.role == TEXT_ROLE &&
               !shown_clock.bold);
    FUZZ_CHECK(shown_clock.column + static_cast<int>(shown_clock.text.size()) == note_column);
    FUZZ_CHECK(clock.ends_with(shown_clock.text));
    note_column = shown_clock.column;
  }
  if (!shown.banner && shown.report.unread_rows > 0 && note_column > 0) {
    // The unread rows' note, always, its right-hand part ending where the
    // clock or the note begins.
    ++notes;
    const Label& unread = frame.labels[frame.labels.size() - notes];
    const std::string whole = " " + std::to_string(shown.report.unread_rows) + " unread ";
    FUZZ_CHECK(unread.row == screen.rows - 1 && unread.column >= 0 && unread.role == ALARM_ROLE && unread.bold);
    FUZZ_CHECK(unread.column + static_cast<int>(unread.text.size()) == note_column);
    FUZZ_CHECK(std::string_view(whole).ends_with(unread.text));
  }
  FUZZ_CHECK(frame.labels.size() == report_labels + notes);
  paint_frame(frame);
  check_nothing_beyond_labels(frame);
  FUZZ_CHECK(writer.row >= 0 && writer.column >= 0);
  FUZZ_CHECK(writer.column % REPORT_COLUMN_WIDTH == 0);
#if ORVEK_FUZZ_REFERENCE_PASS
  compare_with_reference(lines, names, excludes);
#endif
  return 0;
}
