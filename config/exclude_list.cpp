#include "config/exclude_list.h"

#include <optional>

#include "common/text_search.h"
#include "config/text_file.h"


ExcludeList load_exclude_list(const char* path) {
  ExcludeList list;
  if (!path) return list;
  // One read gives one consistent picture of the file, however it changes.
  const std::optional<std::string> text = read_text_file(path, EXCLUDE_READ_LIMIT);
  if (!text) return list;
  std::size_t start = 0;
  for (std::size_t end; (end = text->find('\n', start)) != std::string::npos; start = end + 1)
    list.entries.push_back(text->substr(start, end - start));
  return list;
}

bool host_is_excluded(const ExcludeList& list, std::string_view host) {
  for (const auto& entry : list.entries)
    if (entry == host) return true;
  return false;
}

bool service_is_excluded(const ExcludeList& list, std::string_view service) {
  for (const auto& entry : list.entries)
    if (contains_ignoring_case(service, entry)) return true;
  return false;
}
