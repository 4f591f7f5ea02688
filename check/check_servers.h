#pragma once
// orvek -t on the configuration as found: a file without server sections is
// checked as ever; a file with sections, every server at once under the one
// deadline of -d, or only the server -S names.
#include "check/check_from_shell.h"

struct Options;

// Finds and reads the configuration, checks what it and -S ask for, prints
// the report and returns its exit status.
int check_configured(const Options& options);
