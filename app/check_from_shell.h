#pragma once
// orvek -t: one fetch made exactly as a refresh makes it, read as a refresh
// reads it, and explained on standard output, one fact a line, so that a
// set-up can be checked from a shell, a pipe or cron. Never starts curses.
#include <string>
#include <string_view>

struct CertificateLook;
struct DataAgeFetch;
struct FetchResult;
struct Program;

// What the check tells, and the exit status it ends with.
struct CheckReport {
  std::string text;  // lines, each ended by '\n'; never the password
  int status = 1;    // 0: the monitor would draw the page as its report; 1: the banner
};

// The report on fetched, a fetch made with program.settings into
// program.body. config_file: the file the settings came from. certificate:
// the server's certificate as looked at after the fetch, if it was.
// data_age: the JSON status CGI's answer, when maxage is set and the list
// would be drawn.
CheckReport explain_fetch(const Program& program, std::string_view config_file, const FetchResult& fetched,
                          const CertificateLook* certificate = nullptr, const DataAgeFetch* data_age = nullptr);

// Fetches once, prints the report, and returns its exit status.
int check_from_shell(Program& program, std::string_view config_file);
