#include "config/exclude_list.h"

#include <algorithm>
#include <cassert>
#include <functional>
#include <optional>
#include <utility>

#include "config/text_file.h"


namespace {

std::uint64_t host_hash(std::string_view name) { return std::hash<std::string_view>{}(name); }

constexpr std::uint64_t TAG = 0xffffffff00000000u;  // the hash's part in a slot

// The slot that holds name, or else the free slot where it would go.
std::size_t find_slot(const std::vector<std::uint64_t>& slots, const std::vector<std::string>& entries,
                      std::string_view name, std::uint64_t hash) {
  const std::size_t mask = slots.size() - 1;
  std::size_t at = hash & mask;
  for (; slots[at] != 0; at = (at + 1) & mask)
    if ((slots[at] & TAG) == (hash & TAG) && entries[(slots[at] & ~TAG) - 1] == name) break;
  return at;
}

// The table doubles as distinct entries fill it, so that a file of one line
// repeated (empty lines, say) gets a small one.
std::vector<std::uint64_t> index_hosts(const std::vector<std::string>& entries) {
  std::vector<std::uint64_t> slots;
  if (entries.empty()) return slots;
  slots.assign(16, 0);
  std::size_t taken = 0;
  for (std::size_t k = 0; k < entries.size(); ++k) {
    const std::uint64_t hash = host_hash(entries[k]);
    std::uint64_t& slot = slots[find_slot(slots, entries, entries[k], hash)];
    if (slot != 0) continue;
    slot = (hash & TAG) | (k + 1);
    if (2 * ++taken <= slots.size()) continue;
    std::vector<std::uint64_t> larger(2 * slots.size(), 0);
    for (const std::uint64_t moved : slots) {
      if (moved == 0) continue;
      // The slot keeps only the upper half of the hash; the place needs the lower.
      std::size_t at = host_hash(entries[(moved & ~TAG) - 1]) & (larger.size() - 1);
      while (larger[at] != 0) at = (at + 1) & (larger.size() - 1);
      larger[at] = moved;
    }
    slots.swap(larger);
  }
  return slots;
}

// Entries filled in by hand, without make_exclude_list, would have no index.
[[maybe_unused]] bool indexed(const ExcludeList& list) { return list.entries.empty() == list.host_slots.empty(); }

}  // namespace

ExcludeList make_exclude_list(std::vector<std::string> entries) {
  ExcludeList list;
  list.entries = std::move(entries);
  list.host_slots = index_hosts(list.entries);
  list.services = build_substring_automaton(list.entries);
  return list;
}

namespace {

std::vector<std::string> read_entries(const char* path) {
  std::vector<std::string> entries;
  if (!path) return entries;
  // One read gives one consistent picture of the file, however it changes.
  const std::optional<std::string> text = read_text_file(path, EXCLUDE_READ_LIMIT);
  if (!text) return entries;
  entries.reserve(static_cast<std::size_t>(std::count(text->begin(), text->end(), '\n')));
  std::size_t start = 0;
  for (std::size_t end; (end = text->find('\n', start)) != std::string::npos; start = end + 1)
    entries.push_back(text->substr(start, end - start));
  return entries;
}

}  // namespace

// The file's text is gone before the indexes are built, which need memory of
// their own.
ExcludeList load_exclude_list(const char* path) { return make_exclude_list(read_entries(path)); }

bool host_is_excluded(const ExcludeList& list, std::string_view host) {
  assert(indexed(list));
  return !list.host_slots.empty() &&
         list.host_slots[find_slot(list.host_slots, list.entries, host, host_hash(host))] != 0;
}

bool service_is_excluded(const ExcludeList& list, std::string_view service) {
  assert(indexed(list));
  return contains_any_ignoring_case(list.services, service);
}
