#include "config/exclude_list.h"

#include <algorithm>
#include <cassert>
#include <optional>
#include <utility>

#include "common/keyed_hash.h"
#include "config/text_file.h"


namespace {

// Hashed with keyed_hash: the entries are the user's, but the names looked
// up are the page's.
// A slot: the offset of its entry in the text + 1 in the low OFFSET_BITS,
// the top bits of the entry's hash above them, so that most misses never
// read the entry.
constexpr unsigned OFFSET_BITS = 26;
constexpr std::uint32_t OFFSET = (std::uint32_t{1} << OFFSET_BITS) - 1;
static_assert(EXCLUDE_TEXT_LIMIT <= OFFSET, "every offset + 1 fits a slot");
static_assert(EXCLUDE_READ_LIMIT <= EXCLUDE_TEXT_LIMIT, "a whole read file is indexed");

std::uint32_t tag_of(std::uint64_t hash) {
  return static_cast<std::uint32_t>(hash >> (64 - (32 - OFFSET_BITS))) << OFFSET_BITS;
}

// The entry that starts at offset in text.
std::string_view entry_at(const std::string& text, std::size_t offset) {
  return std::string_view(text).substr(offset, text.find('\n', offset) - offset);
}

std::string_view slot_entry(const std::string& text, std::uint32_t slot) { return entry_at(text, (slot & OFFSET) - 1); }

// The slot that holds name, or else the free slot where it would go.
std::size_t find_slot(const std::vector<std::uint32_t>& slots, const std::string& text, std::string_view name,
                      std::uint64_t hash) {
  const std::size_t mask = slots.size() - 1;
  const std::uint32_t tag = tag_of(hash);
  std::size_t at = hash & mask;
  for (; slots[at] != 0; at = (at + 1) & mask)
    if ((slots[at] & ~OFFSET) == tag && slot_entry(text, slots[at]) == name) break;
  return at;
}

// The table doubles as distinct entries fill it, so that a file of one line
// repeated (empty lines, say) gets a small one. The distinct entries go to
// distinct, for the service automaton.
std::vector<std::uint32_t> index_hosts(const std::string& text, std::vector<std::string_view>& distinct) {
  std::vector<std::uint32_t> slots;
  if (text.empty()) return slots;
  slots.assign(16, 0);
  for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
    end = text.find('\n', start);
    const std::string_view entry(text.data() + start, end - start);
    const std::uint64_t hash = keyed_hash(entry);
    std::uint32_t& slot = slots[find_slot(slots, text, entry, hash)];
    if (slot != 0) continue;
    slot = tag_of(hash) | static_cast<std::uint32_t>(start + 1);
    distinct.push_back(entry);
    if (2 * distinct.size() <= slots.size()) continue;
    std::vector<std::uint32_t> larger(2 * slots.size(), 0);
    for (const std::uint32_t moved : slots) {
      if (moved == 0) continue;
      // The slot keeps only the top of the hash; the place needs the bottom.
      std::size_t at = keyed_hash(slot_entry(text, moved)) & (larger.size() - 1);
      while (larger[at] != 0) at = (at + 1) & (larger.size() - 1);
      larger[at] = moved;
    }
    slots.swap(larger);
  }
  return slots;
}

// Entries filled in by hand, without make_exclude_list, would have no index.
[[maybe_unused]] bool indexed(const ExcludeList& list) { return list.text.empty() == list.host_slots.empty(); }

}  // namespace

ExcludeList exclude_list_of_text(std::string text) {
  ExcludeList list;
  // What follows the last newline is no entry; nor what lies beyond the
  // indexed text's bound.
  const std::size_t last = text.rfind('\n', EXCLUDE_TEXT_LIMIT - 1);
  text.resize(last == std::string::npos ? 0 : last + 1);
  text.shrink_to_fit();
  list.text = std::move(text);
  list.count = static_cast<std::size_t>(std::count(list.text.begin(), list.text.end(), '\n'));
  std::vector<std::string_view> distinct;
  list.host_slots = index_hosts(list.text, distinct);
  list.services = build_substring_automaton(std::move(distinct));
  return list;
}

ExcludeList make_exclude_list(const std::vector<std::string>& entries) {
  std::string text;
  for (const std::string& entry : entries) text.append(entry).push_back('\n');
  return exclude_list_of_text(std::move(text));
}

std::vector<std::string_view> exclude_entries(const ExcludeList& list) {
  std::vector<std::string_view> entries;
  entries.reserve(list.count);
  for (std::size_t start = 0, end; start < list.text.size(); start = end + 1) {
    end = list.text.find('\n', start);
    entries.emplace_back(list.text.data() + start, end - start);
  }
  return entries;
}

// One read gives one consistent picture of the file, however it changes.
ExcludeList load_exclude_list(const char* path) {
  if (!path) return {};
  std::optional<std::string> text = read_text_file(path, EXCLUDE_READ_LIMIT);
  if (!text) return {};
  return exclude_list_of_text(std::move(*text));
}

bool host_is_excluded(const ExcludeList& list, std::string_view host) {
  assert(indexed(list));
  const bool own = !list.host_slots.empty() &&
                  list.host_slots[find_slot(list.host_slots, list.text, host, keyed_hash(host))] != 0;
  return own || (list.below && host_is_excluded(*list.below, host));
}

bool service_is_excluded(const ExcludeList& list, std::string_view service) {
  assert(indexed(list));
  return contains_any_ignoring_case(list.services, service) ||
         (list.below && service_is_excluded(*list.below, service));
}
