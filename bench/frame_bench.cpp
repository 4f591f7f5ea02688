// orvek-frame-bench: times what one refresh cycle does with a page once the
// transfer is over (select the problem lines, lay out the report, paint it
// into curses, refresh the terminal), on a page read from a file.
//
//   orvek-frame-bench PAGE_FILE [--newcgi] [--repeat N] [--size ROWSxCOLS]
//                     [--exclude FILE]
//
// Prints one line to standard error:
//   frame_ms=<median milliseconds per frame> lines=<selected problem lines>
// and with --exclude, at its end: entries=<entries> load_ms=<milliseconds to
// load the list>

#include <curses.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "app/refresh_cycle.h"
#include "config/config_file.h"
#include "config/exclude_list.h"
#include "fetch/status_fetch.h"
#include "report/problem_lines.h"
#include "report/screen_writer.h"

namespace {

// libcurl's usual write size.
constexpr std::size_t CHUNK_BYTES = 16384;

struct BenchOptions {
  const char* page_path = nullptr;
  const char* exclude_path = nullptr;
  bool newcgi = false;
  int repeat = 20;
  int rows = 24;
  int columns = 80;
};

[[noreturn]] void usage(const char* message) {
  std::fprintf(stderr, "orvek-frame-bench: %s\n", message);
  std::fprintf(stderr,
               "usage: orvek-frame-bench PAGE_FILE [--newcgi] [--repeat N] [--size ROWSxCOLS] "
               "[--exclude FILE]\n");
  std::exit(2);
}

bool parse_positive(const char* text, int& value) {
  char* end = nullptr;
  const long parsed = std::strtol(text, &end, 10);
  if (end == text || parsed <= 0 || parsed > 1000000) return false;
  value = static_cast<int>(parsed);
  return *end == '\0';
}

bool parse_size(const char* text, int& rows, int& columns) {
  char* end = nullptr;
  const long parsed_rows = std::strtol(text, &end, 10);
  if (end == text || (*end != 'x' && *end != 'X')) return false;
  const char* rest = end + 1;
  const long parsed_columns = std::strtol(rest, &end, 10);
  if (end == rest || *end != '\0') return false;
  if (parsed_rows < 1 || parsed_rows > 10000 || parsed_columns < 1 || parsed_columns > 10000) return false;
  rows = static_cast<int>(parsed_rows);
  columns = static_cast<int>(parsed_columns);
  return true;
}

BenchOptions parse_arguments(int argc, char* argv[]) {
  BenchOptions options;
  for (int k = 1; k < argc; ++k) {
    const std::string argument = argv[k];
    if (argument == "--newcgi") {
      options.newcgi = true;
    } else if (argument == "--repeat") {
      if (++k == argc || !parse_positive(argv[k], options.repeat)) usage("--repeat needs a positive number");
    } else if (argument == "--size") {
      if (++k == argc || !parse_size(argv[k], options.rows, options.columns))
        usage("--size needs ROWSxCOLS, for example 24x80");
    } else if (argument == "--exclude") {
      if (++k == argc) usage("--exclude needs a FILE");
      options.exclude_path = argv[k];
    } else if (argument.size() > 1 && argument[0] == '-') {
      usage(("unknown option " + argument).c_str());
    } else if (options.page_path) {
      usage("only one PAGE_FILE");
    } else {
      options.page_path = argv[k];
    }
  }
  if (!options.page_path) usage("PAGE_FILE is missing");
  return options;
}

// Loads the page the way the transfer does: an empty body, then the file in
// libcurl-sized chunks through the write function, with its size bound.
void receive_page(const char* path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "orvek-frame-bench: cannot read %s\n", path);
    std::exit(1);
  }
  std::vector<char> page((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  reset_received_body();
  for (std::size_t offset = 0; offset < page.size(); offset += CHUNK_BYTES) {
    const std::size_t n = std::min(CHUNK_BYTES, page.size() - offset);
    if (on_body_chunk(page.data() + offset, 1, n, nullptr) != n) {
      std::fprintf(stderr,
                   "orvek-frame-bench: %s is %zu bytes, over the %d-byte limit of a transfer "
                   "(the monitor would show the no-connection banner)\n",
                   path, page.size(), static_cast<int>(RECEIVE_LIMIT));
      std::exit(1);
    }
  }
}

// A terminal that shows nothing: output to /dev/null, no input, a fixed size.
SCREEN* start_null_terminal(int rows, int columns, std::FILE*& output, std::FILE*& input) {
  // With no real terminal behind the output, curses takes its size from
  // these (and resizeterm below makes sure of it).
  setenv("LINES", std::to_string(rows).c_str(), 1);
  setenv("COLUMNS", std::to_string(columns).c_str(), 1);
  output = std::fopen("/dev/null", "w");
  input = std::fopen("/dev/null", "r");
  if (!output || !input) {
    std::fprintf(stderr, "orvek-frame-bench: cannot open /dev/null\n");
    std::exit(1);
  }
  char terminal_type[] = "xterm-256color";
  SCREEN* screen = newterm(terminal_type, output, input);
  if (!screen) {
    std::fprintf(stderr, "orvek-frame-bench: curses cannot start a %s terminal\n", terminal_type);
    std::exit(1);
  }
  set_term(screen);
  if (LINES != rows || COLS != columns) resizeterm(rows, columns);
  if (!has_colors()) {
    std::fprintf(stderr, "orvek-frame-bench: the terminal has no colours\n");
    std::exit(1);
  }
  start_color();
  set_palette();
  return screen;
}

// The exclude list as the monitor loads it for -e. The monitor takes a file
// it cannot read as an empty list; here that would time the wrong thing.
// Returns the milliseconds the loading took.
double load_excludes(const char* path) {
  if (!path) return 0;
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error) || !std::ifstream(path, std::ios::binary)) {
    std::fprintf(stderr, "orvek-frame-bench: cannot read %s\n", path);
    std::exit(1);
  }
  const auto start = std::chrono::steady_clock::now();
  exclude_list = load_exclude_list(path);
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char* argv[]) {
  const BenchOptions options = parse_arguments(argc, argv);
  receive_page(options.page_path);
  if (options.newcgi) settings.newcgi = "true";
  const double load_ms = load_excludes(options.exclude_path);

  const std::size_t selected = split_problem_lines(received_text()).size();

  std::FILE* output = nullptr;
  std::FILE* input = nullptr;
  SCREEN* screen = start_null_terminal(options.rows, options.columns, output, input);
  if (LINES != options.rows || COLS != options.columns) {
    endwin();
    std::fprintf(stderr, "orvek-frame-bench: curses runs at %dx%d instead of %dx%d\n", LINES, COLS,
                 options.rows, options.columns);
    return 1;
  }

  // Lines that do not match make the report write "No match!" to standard
  // output; a pipe or terminal behind it would time that writer, not the
  // report. The bench reports on standard error.
  if (!std::freopen("/dev/null", "w", stdout)) {
    endwin();
    std::fprintf(stderr, "orvek-frame-bench: cannot redirect standard output\n");
    return 1;
  }

  std::vector<double> frame_ms;
  frame_ms.reserve(static_cast<std::size_t>(options.repeat));
  for (int k = 0; k < options.repeat; ++k) {
    const auto start = std::chrono::steady_clock::now();
    // As the cycle does: a cleared screen on the normal background, the
    // report from the top left, then one refresh.
    wclear(stdscr);
    wbkgd(stdscr, COLOR_PAIR(5));
    report_cursor.new_frame = true;
    draw_report(received_text());
    wrefresh(stdscr);
    const auto end = std::chrono::steady_clock::now();
    frame_ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
  }

  endwin();
  delscreen(screen);
  std::fclose(output);
  std::fclose(input);

  std::sort(frame_ms.begin(), frame_ms.end());
  const std::size_t middle = frame_ms.size() / 2;
  const double median =
      frame_ms.size() % 2 ? frame_ms[middle] : (frame_ms[middle - 1] + frame_ms[middle]) / 2.0;
  std::fprintf(stderr, "frame_ms=%.3f lines=%zu", median, selected);
  if (options.exclude_path) std::fprintf(stderr, " entries=%zu load_ms=%.3f", exclude_list.entries.size(), load_ms);
  std::fprintf(stderr, "\n");
  return 0;
}
