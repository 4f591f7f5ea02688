#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Hosts and services the report leaves out: one entry per newline-ended line
// of the -e file, kept whole (nothing trimmed, no comments).
struct ExcludeList {
  std::vector<std::string> entries;
};

// Bytes of an exclude file beyond this are not read.
inline constexpr std::size_t EXCLUDE_READ_LIMIT = 4 << 20;

// The entries of the file at path. Without a path, or when the file is no
// readable regular file, the list is empty. Text after the last newline is no
// entry.
ExcludeList load_exclude_list(const char* path);

// A host is hidden by an entry equal to its name, byte for byte.
bool host_is_excluded(const ExcludeList& list, std::string_view host);

// A service is hidden by any entry found inside its name, without regard to
// case; so an empty entry hides every service.
bool service_is_excluded(const ExcludeList& list, std::string_view service);
