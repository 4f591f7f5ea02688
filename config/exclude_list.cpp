#include "config/exclude_list.h"

#include <cassert>
#include <functional>
#include <optional>
#include <utility>

#include "config/text_file.h"

ExcludeList exclude_list;

namespace {

std::size_t host_hash(std::string_view name) { return std::hash<std::string_view>{}(name); }

std::vector<std::uint32_t> index_hosts(const std::vector<std::string>& entries) {
  std::vector<std::uint32_t> slots;
  if (entries.empty()) return slots;
  std::size_t size = 2;
  while (size < 2 * entries.size()) size *= 2;
  slots.assign(size, 0);
  const std::size_t mask = size - 1;
  for (std::size_t k = 0; k < entries.size(); ++k) {
    std::size_t at = host_hash(entries[k]) & mask;
    while (slots[at] != 0 && entries[slots[at] - 1] != entries[k]) at = (at + 1) & mask;
    if (slots[at] == 0) slots[at] = static_cast<std::uint32_t>(k + 1);
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
  if (list.host_slots.empty()) return false;
  const std::size_t mask = list.host_slots.size() - 1;
  for (std::size_t at = host_hash(host) & mask; list.host_slots[at] != 0; at = (at + 1) & mask)
    if (list.entries[list.host_slots[at] - 1] == host) return true;
  return false;
}

bool service_is_excluded(const ExcludeList& list, std::string_view service) {
  assert(indexed(list));
  return contains_any_ignoring_case(list.services, service);
}
