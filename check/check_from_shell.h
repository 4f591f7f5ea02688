#pragma once
// orvek -t: one refresh made exactly as the monitor makes it, read as it
// reads it, and explained on standard output, one fact a line, so that a
// set-up can be checked from a shell, a pipe or cron. Never starts curses.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/check_line.h"
#include "check/check_route.h"
#include "config/line_notes.h"

struct CertificateLook;
struct ConfigText;
struct Deadline;
struct Options;
struct Program;
struct RefreshRecord;

// The exit statuses of the check, as a monitoring server's check plugin
// ends: the wall works and there is nothing to note; it works, but a line
// was not taken, a pitfall was found, or the interval has no pause or never
// refreshes; it would show a banner; the check itself could not finish.
inline constexpr int CHECK_OK = 0;
inline constexpr int CHECK_NOTED = 1;
inline constexpr int CHECK_BANNER = 2;
inline constexpr int CHECK_UNFINISHED = 3;

// What the check tells, and the exit status it ends with.
struct CheckReport {
  // "ORVEK OK - ..." and the lines, each ended by '\n'; never the password.
  // The first line without its performance data.
  std::string text;
  std::string perfdata;  // "time=0.012s size=5120B problems=3"; none when the check could not finish
  // Performance data that does not fit the first line (several servers'):
  // written after a '|' at the end of the output, where monitoring servers
  // read more of it.
  std::string more_perfdata;
  int status = CHECK_UNFINISHED;
  // Why it is not OK, in a few words, for the first line of several
  // servers' check ("connection refused", "HTTP status 401 (Unauthorized)");
  // empty when OK.
  std::string cause;
};

// The check-plugin convention's first line, "ORVEK OK - summary\n",
// without its performance data.
std::string plugin_line(int status, std::string_view summary);

// The longest first line: a monitoring server shows it in its lists, the
// details under it.
inline constexpr std::size_t FIRST_LINE_LIMIT = 200;

// The report as written. Every '|' of its text is shown as the broken bar
// U+00A6, since a monitoring server takes the first '|' for the start of
// the performance data, and some of them take a "\|" for one too; the
// one '|' left starts the performance data (and one more, on the last
// line, the performance data that did not fit the first). A first line too long is cut
// to FIRST_LINE_LIMIT bytes, its summary ended by "...".
std::string check_output(const CheckReport& report);

// Writes check_output(report) to standard output; returns the report's
// status, or CHECK_UNFINISHED (with a line on standard error) when standard
// output cannot take it.
int write_check(const CheckReport& report);

// The report of a check that could not be made: "ORVEK UNKNOWN - why" and
// the details under it, all shown as written (control bytes made visible).
CheckReport unfinished_check(std::string_view why, const std::vector<std::string>& details = {});

// A server section's own part of its block: where its values came from and
// its own exclude file (exclude PATH), as a second look found them.
struct SectionSetUp {
  std::vector<CheckLine> values;  // the lines that set its values, its section's and the defaults'
  std::string exclude_path;       // its own exclude file; empty: none
  std::string exclude_where;      // the line that names it: "named on line 16", "named on line 3, in the defaults"
  std::size_t exclude_entries = 0;
  std::string exclude_unread;     // why it cannot be read, if so
  std::string exclude_fault;      // why it cannot serve as meant (unread, an empty line), if so
  LineNotes excludes;             // its surprising lines
};

// What a second look at the configuration and the exclude file found.
struct SetUpNotes {
  LineNotes config;
  LineNotes excludes;
  std::string exclude_unread;  // why the exclude file could not be read, if so
  std::optional<SectionSetUp> section;  // a server of a file with sections
};

// The report on one refresh, made with program.settings into program.body.
// config_file: the file the settings came from. second_look: the
// certificate of a second, unchecked handshake, made only where the
// transfer failed before any came. notes: what a second look at the
// configuration and exclude file found. route: the proxy and the TLS probe
// of look_at_route.
CheckReport explain_refresh(const Program& program, std::string_view config_file, const RefreshRecord& record,
                            const CertificateLook* second_look = nullptr, const SetUpNotes& notes = {},
                            const RouteLook& route = {});

// The notes on the configuration (config_notes), and a second look at -e's
// exclude file (options.exclude_path).
SetUpNotes read_set_up_notes(const Options& options, LineNotes config_notes);

// The report on one refresh made within deadline: the refresh, a second
// look at a certificate that did not come, the route, explained.
// config_notes: what a second look at the server's configuration found.
CheckReport check_server(Program& program, std::string_view config_file, LineNotes config_notes,
                         const Deadline& deadline);

// The same with the notes already taken (read_set_up_notes, or a section's).
CheckReport check_server(Program& program, std::string_view config_file, SetUpNotes notes, const Deadline& deadline);

// Refreshes once within the deadline of -d, prints the report, and returns
// its exit status.
// config_text: the configuration file as the reader met it.
int check_from_shell(Program& program, std::string_view config_file, const ConfigText& config_text);
