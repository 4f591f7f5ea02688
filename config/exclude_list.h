#pragma once
#include <string>
#include <string_view>
#include <vector>

// Hosts and services the report leaves out: one entry per line of the -e
// file, kept whole (nothing trimmed, no comments).
struct ExcludeList {
  std::vector<std::string> entries;
};

extern ExcludeList exclude_list;

// First pass: the number of complete (newline-ended) lines of the file; 0
// without a path or when the file cannot be opened.
int count_exclude_lines(const char* path);

// Second pass: at most `count` lines. When the file has fewer lines by now,
// the list holds only the lines actually read.
ExcludeList load_exclude_list(const char* path, int count);

// A host is hidden by an entry equal to its name, byte for byte.
bool host_is_excluded(const ExcludeList& list, std::string_view host);

// A service is hidden by any entry found inside its name, without regard to
// case; so an empty entry hides every service.
bool service_is_excluded(const ExcludeList& list, std::string_view service);
