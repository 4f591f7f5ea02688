// orvek-frame-bench: times what one refresh cycle does with a page once the
// transfer is over (select the problem lines, compose the frame, paint it
// into curses, refresh the terminal), on a page read from a file.
//
//   orvek-frame-bench PAGE_FILE [--newcgi] [--repeat N] [--size ROWSxCOLS]
//                     [--exclude FILE] [--notes] [--servers N]
//                     [--json HOSTLIST SERVICELIST [--ages] [--output] [--soft]]
//
// With --json each frame also reads the JSON status's two answers from those
// files and gives the report's problems their details, as the refresh does
// with the keys ages, output and soft hide (--ages, --output, --soft).
//
// With --servers N the frame is that of N servers which all serve the page,
// each read on its own as the wall reads each server's.
//
// Prints one line to standard error:
//   frame_ms=<median milliseconds per frame> lines=<selected problem lines>
// and with --exclude, at its end: entries=<entries> load_ms=<milliseconds to
// load the list>; with --servers, at its very end: servers=<N>
// compose_ms=<median milliseconds of the frame's composing and painting
// alone, the part that grows with N when one server's record changes>

#include <curses.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "config/command_line.h"
#include "config/config_file.h"
#include "fetch/status_details.h"
#include "app/curses_screen.h"
#include "layout/frame_composition.h"
#include "refresh/refresh_record.h"
#include "layout/frame.h"
#include "config/exclude_list.h"
#include "config/text_file.h"
#include "fetch/status_fetch.h"
#include "report/problem_lines.h"

namespace {

// libcurl's usual write size.
constexpr std::size_t CHUNK_BYTES = 16384;

struct BenchOptions {
  const char* page_path = nullptr;
  const char* exclude_path = nullptr;
  bool newcgi = false;
  bool notes = false;  // the last row's notes, as with -m and -u
  int servers = 1;
  int repeat = 20;
  int rows = 24;
  int columns = 80;
  const char* hostlist_path = nullptr;  // --json: the JSON status's answers
  const char* servicelist_path = nullptr;
  bool ages = false, output = false, soft = false;
};

[[noreturn]] void usage(const char* message) {
  std::fprintf(stderr, "orvek-frame-bench: %s\n", message);
  std::fprintf(stderr,
               "usage: orvek-frame-bench PAGE_FILE [--newcgi] [--repeat N] [--size ROWSxCOLS] "
               "[--exclude FILE] [--notes] [--servers N] [--json HOSTLIST SERVICELIST [--ages] [--output] [--soft]]\n");
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
    } else if (argument == "--json") {
      if (k + 2 >= argc) usage("--json needs HOSTLIST and SERVICELIST files");
      options.hostlist_path = argv[++k];
      options.servicelist_path = argv[++k];
    } else if (argument == "--ages") {
      options.ages = true;
    } else if (argument == "--output") {
      options.output = true;
    } else if (argument == "--soft") {
      options.soft = true;
    } else if (argument == "--notes") {
      options.notes = true;
    } else if (argument == "--repeat") {
      if (++k == argc || !parse_positive(argv[k], options.repeat)) usage("--repeat needs a positive number");
    } else if (argument == "--servers") {
      if (++k == argc || !parse_positive(argv[k], options.servers) || options.servers > 1000)
        usage("--servers needs a number from 1 to 1000");
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
void receive_page(const char* path, ReceiveBuffer& buffer) {
  std::optional<std::string> page = read_text_file(path, std::numeric_limits<std::size_t>::max());
  if (!page) {
    std::fprintf(stderr, "orvek-frame-bench: cannot read %s\n", path);
    std::exit(1);
  }
  reset_received_body(buffer);
  for (std::size_t offset = 0; offset < page->size(); offset += CHUNK_BYTES) {
    const std::size_t n = std::min(CHUNK_BYTES, page->size() - offset);
    if (on_body_chunk(page->data() + offset, 1, n, &buffer) != n) {
      std::fprintf(stderr,
                   "orvek-frame-bench: %s is %zu bytes, over the %zu-byte limit of a transfer "
                   "(the monitor would show the no-connection banner)\n",
                   path, page->size(), RECEIVE_LIMIT);
      std::exit(1);
    }
  }
}

// The exclude list as the monitor loads it for -e. The monitor takes a file
// it cannot read as an empty list; here that would time the wrong thing.
// Returns the milliseconds the loading took.
double load_excludes(const char* path, ExcludeList& excludes) {
  if (!path) return 0;
  if (!read_text_file(path, 0)) {
    std::fprintf(stderr, "orvek-frame-bench: cannot read %s\n", path);
    std::exit(1);
  }
  const auto start = std::chrono::steady_clock::now();
  excludes = load_exclude_list(path);
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// A JSON answer as the fetch keeps it, received from the file as from the
// server: in libcurl-sized chunks, never whole beside what is kept.
std::string load_json(const char* path) {
  if (!path) return {};
  std::FILE* file = std::fopen(path, "rb");
  if (!file) {
    std::fprintf(stderr, "orvek-frame-bench: cannot read %s\n", path);
    std::exit(1);
  }
  JsonReceiver receiver;
  std::vector<char> chunk(CHUNK_BYTES);
  for (std::size_t n; (n = std::fread(chunk.data(), 1, chunk.size(), file)) > 0;)
    if (!receive_json(receiver, std::string_view(chunk.data(), n))) {
      std::fprintf(stderr, "orvek-frame-bench: %s is over the %zu-byte limit of a JSON answer\n", path,
                   STATUS_DETAILS_BODY_LIMIT);
      std::exit(1);
    }
  std::fclose(file);
  return std::move(receiver.text);
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

}  // namespace

int main(int argc, char* argv[]) {
  const BenchOptions options = parse_arguments(argc, argv);
  ReceiveBuffer buffer = make_receive_buffer();
  receive_page(options.page_path, buffer);
  ExcludeList excludes;
  const double load_ms = load_excludes(options.exclude_path, excludes);
  const std::size_t selected = split_problem_lines(received_text(buffer)).size();
  const std::string hostlist = load_json(options.hostlist_path);
  const std::string servicelist = load_json(options.servicelist_path);
  Settings details_settings;
  details_settings.ages = options.ages;
  details_settings.output = options.output;
  details_settings.soft_hide = options.soft;
  std::size_t unmatched = 0;
  Options wall;
  wall.show_hidden = options.notes;
  wall.show_clock = options.notes;

  // A terminal that shows nothing. With no real terminal behind the output,
  // curses would take its size from these; the terminal is resized anyway.
  setenv("LINES", std::to_string(options.rows).c_str(), 1);
  setenv("COLUMNS", std::to_string(options.columns).c_str(), 1);
  OffscreenTerminal terminal;
  if (!open_offscreen_terminal("xterm-256color", options.rows, options.columns, terminal)) {
    std::fprintf(stderr, "orvek-frame-bench: curses cannot start a %dx%d xterm-256color terminal with colours\n",
                 options.rows, options.columns);
    return 1;
  }

  // One server is shown as with a file without sections: no name.
  const auto count = static_cast<std::size_t>(options.servers);
  std::vector<std::string> names(count);
  if (count > 1)
    for (std::size_t n = 0; n < count; ++n) names[n] = "server" + std::to_string(n + 1);
  std::vector<RefreshRecord> records(count);
  std::vector<ServerView> servers(count);

  std::vector<double> frame_ms, compose_ms;
  frame_ms.reserve(static_cast<std::size_t>(options.repeat));
  compose_ms.reserve(static_cast<std::size_t>(options.repeat));
  for (int k = 0; k < options.repeat; ++k) {
    const auto start = std::chrono::steady_clock::now();
    // As the cycle does: a cleared screen on the normal background, the
    // page read and its frame composed and painted, then one refresh.
    wclear(stdscr);
    wbkgd(stdscr, COLOR_PAIR(colour_pair(NORMAL_ROLE)));
    Frame frame(LINES, COLS);
    // "No match!" is not printed: that would time the writer behind
    // standard output, not the report.
    for (std::size_t n = 0; n < records.size(); ++n) {
      records[n] = read_refresh({}, {}, buffer, excludes, options.newcgi);
      if (options.hostlist_path && !records[n].outcome.banner) {
        take_details(records[n], {read_json_body(hostlist, false), read_json_body(servicelist, true), std::nullopt},
                     details_settings);
        unmatched = 0;
        for (const DetailedProblem& problem : records[n].detailed) unmatched += problem.matched ? 0 : 1;
      }
      records[n].outcome.fetched_at = std::time(nullptr);
      servers[n] = ServerView{names[n], &records[n].outcome, 0};
    }
    const auto composing = std::chrono::steady_clock::now();
    compose_frame(servers, wall, frame);
    paint_frame(frame);
    wrefresh(stdscr);
    const auto end = std::chrono::steady_clock::now();
    frame_ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    compose_ms.push_back(std::chrono::duration<double, std::milli>(end - composing).count());
  }
  close_offscreen_terminal(terminal);

  std::fprintf(stderr, "frame_ms=%.3f lines=%zu", median(frame_ms), selected);
  if (options.exclude_path) std::fprintf(stderr, " entries=%zu load_ms=%.3f", excludes.count, load_ms);
  if (options.servers > 1) std::fprintf(stderr, " servers=%d compose_ms=%.3f", options.servers, median(compose_ms));
  if (options.hostlist_path) std::fprintf(stderr, " json_bytes=%zu unmatched=%zu", hostlist.size() + servicelist.size(), unmatched);
  std::fprintf(stderr, "\n");
  return 0;
}
