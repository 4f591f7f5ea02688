#pragma once
// orvek -t: one fetch made exactly as a refresh makes it, read as a refresh
// reads it, and explained on standard output, one fact a line, so that a
// set-up can be checked from a shell, a pipe or cron. Never starts curses.
#include <string>
#include <string_view>

#include "config/line_notes.h"

struct CertificateLook;
struct DataAgeFetch;
struct FetchResult;
struct Program;

// What the check tells, and the exit status it ends with.
struct CheckReport {
  std::string text;  // lines, each ended by '\n'; never the password
  int status = 1;    // 0: the monitor would draw the page as its report; 1: the banner
};

// What a second look at the configuration and the exclude file found.
struct SetUpNotes {
  LineNotes config;
  LineNotes excludes;
  std::string exclude_unread;  // why the exclude file could not be read, if so
};

// The report on fetched, a fetch made with program.settings into
// program.body. config_file: the file the settings came from. certificate:
// the server's certificate as looked at after the fetch, if it was. notes:
// what a second look at the configuration and exclude file found.
// data_age: the JSON status CGI's answer (the data's age and the hosts the
// user may see), asked for whenever the server answered the list.
CheckReport explain_fetch(const Program& program, std::string_view config_file, const FetchResult& fetched,
                          const CertificateLook* certificate = nullptr, const SetUpNotes& notes = {},
                          const DataAgeFetch* data_age = nullptr);

// The second look at the files themselves, read again.
SetUpNotes read_set_up_notes(const Program& program, std::string_view config_file);

// Fetches once, prints the report, and returns its exit status.
int check_from_shell(Program& program, std::string_view config_file);
