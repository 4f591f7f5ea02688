#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/substring_automaton.h"

// Hosts and services the report leaves out: one entry per newline-ended line
// of the -e file, kept whole (nothing trimmed, no comments). The entries stay
// in one block of text, the file's own, and the indexes point into it, so a
// file of millions of short lines costs about its size, not a string each.
// The lookups go through indexes built once (make_exclude_list), so that a
// name costs one pass over it however long the list is.
struct ExcludeList {
  std::string text;        // the entries in file order, each ended by '\n'
  std::size_t count = 0;   // entries in text
  // Open addressing over the distinct entries, exact bytes: per slot the
  // top bits of the entry's hash (so that most misses never read the entry)
  // and its offset in text + 1 below them, 0 for a free slot; a power of two
  // slots, at most half taken.
  std::vector<std::uint32_t> host_slots;
  SubstringAutomaton services;  // every distinct entry, case folded
  // A section's own list lies on top of the -e file's, which every server
  // shares, read-only, instead of a copy each: an entry of either hides.
  std::shared_ptr<const ExcludeList> below;
};

// Bytes of an exclude file beyond this are not read.
inline constexpr std::size_t EXCLUDE_READ_LIMIT = 4 << 20;
// Entries are indexed up to this many bytes of text (a slot holds 26 bits of
// offset); a longer text, which no file read can give, loses its tail.
inline constexpr std::size_t EXCLUDE_TEXT_LIMIT = (std::size_t{1} << 26) - 1;

// The list of these entries, its lookups ready.
ExcludeList make_exclude_list(const std::vector<std::string>& entries);

// The list of the newline-ended lines of text (what follows the last
// newline is no entry), its lookups ready.
ExcludeList exclude_list_of_text(std::string text);


// The entries in file order, as views into list.text.
std::vector<std::string_view> exclude_entries(const ExcludeList& list);

// The entries of the file at path. Without a path, or when the file is no
// readable regular file, the list is empty. Text after the last newline is no
// entry.
ExcludeList load_exclude_list(const char* path);

// A host is hidden by an entry equal to its name, byte for byte (of the
// list or of the one below it).
bool host_is_excluded(const ExcludeList& list, std::string_view host);

// A service is hidden by any entry found inside its name, without regard to
// case (of the list or of the one below it); so an empty entry hides every
// service.
bool service_is_excluded(const ExcludeList& list, std::string_view service);
