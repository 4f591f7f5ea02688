#pragma once
// The report as data: what the screen shows, in the order it is shown,
// before anything is placed. The report pass makes it from the problem
// lines; the layout places it into a Frame; a check from the shell counts it.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum class ServiceStatus : unsigned char { WARNING, CRITICAL, UNKNOWN };

// The word a status label shows.
constexpr std::string_view status_word(ServiceStatus status) {
  switch (status) {
    case ServiceStatus::WARNING: return "WARNING";
    case ServiceStatus::CRITICAL: return "CRITICAL";
    case ServiceStatus::UNKNOWN: return "UNKNOWN";
  }
  return "UNKNOWN";
}

enum class ReportItemKind : unsigned char {
  HOST,              // header of a host's service problems
  DOWN_HOST,
  UNREACHABLE_HOST,
  SERVICE,           // one service problem of the host above it
};

// Name first, so that an item takes 24 bytes: a mass outage's report can
// hold hundreds of thousands.
struct ReportItem {
  std::string_view name;  // the host's name, or the service's; a view into the page
  ReportItemKind kind;
  ServiceStatus status;   // SERVICE only
};

// What the server's JSON status adds to one item of the list: for DOWN and
// UNREACHABLE hosts and services only.
struct ItemDetail {
  std::int64_t age_seconds = -1;  // time in its state; below 0: unknown ("?")
  unsigned char attempt = 0;      // a SOFT problem's attempt and its most (0: HARD, or not told)
  unsigned char max_attempts = 0;
  std::string_view output;        // the check's output, first line, as sent; a view into texts
};

// The details the screen shows beside the list's items, when asked for.
struct ReportDetails {
  bool ages = false;    // each problem's age at the end of its row
  bool output = false;  // the check's output after the name
  std::int64_t fresh_seconds = 15 * 60;  // ages under this stand out
  std::vector<ItemDetail> items;  // one for each of the report's items, in order; empty: none asked
  std::shared_ptr<const std::string> texts;  // the outputs the items point into
};

struct Report {
  bool alarm = false;             // some DOWN or UNREACHABLE host is shown, or went unread
  std::vector<ReportItem> items;  // in page order, as drawn
  int unmatched = 0;              // problem lines that yield no name at all: one "No match!" each
  int unread_services = 0;        // service items shown without a name, as it could not be read
  int excluded_hosts = 0;         // DOWN and UNREACHABLE host lines the exclude list hides
  int excluded_services = 0;      // service problem lines it hides, by their host or their name
  int unread_rows = 0;            // rows that hold a status but could not be read: the " N unread " note
  // Names decoded from the HTML rendition's character references, which the
  // items' names then point into instead of the page; shared by copies.
  std::shared_ptr<const std::string> decoded_names;
  ReportDetails details;  // from the JSON status, with ages, output or soft hide
};
