#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/substring_automaton.h"

// Hosts and services the report leaves out: one entry per newline-ended line
// of the -e file, kept whole (nothing trimmed, no comments). The lookups go
// through indexes built once from the entries (make_exclude_list), so that a
// name costs one pass over it however long the list is.
struct ExcludeList {
  std::vector<std::string> entries;
  // Open addressing over the entries, exact bytes: per slot the upper half of
  // the entry's hash (so that most misses never read the entry) and its index
  // + 1 below, 0 for a free slot; a power of two slots, at most half taken.
  std::vector<std::uint64_t> host_slots;
  SubstringAutomaton services;  // every entry, case folded
};

// Bytes of an exclude file beyond this are not read.
inline constexpr std::size_t EXCLUDE_READ_LIMIT = 4 << 20;

// The list of these entries, its lookups ready.
ExcludeList make_exclude_list(std::vector<std::string> entries);

// The entries of the file at path. Without a path, or when the file is no
// readable regular file, the list is empty. Text after the last newline is no
// entry.
ExcludeList load_exclude_list(const char* path);

// A host is hidden by an entry equal to its name, byte for byte.
bool host_is_excluded(const ExcludeList& list, std::string_view host);

// A service is hidden by any entry found inside its name, without regard to
// case; so an empty entry hides every service.
bool service_is_excluded(const ExcludeList& list, std::string_view service);
