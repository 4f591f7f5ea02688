#include "config/exclude_list.h"

#include <cstdio>

#include "common/text_search.h"

ExcludeList exclude_list;

int count_exclude_lines(const char* path) {
  if (!path) return 0;
  std::FILE* file = std::fopen(path, "r");
  if (!file) return 0;
  int count = 0;
  for (int c; (c = std::getc(file)) != EOF;)
    if (c == '\n') ++count;
  std::fclose(file);
  return count;
}

ExcludeList load_exclude_list(const char* path, int count) {
  ExcludeList list;
  if (!path || count <= 0) return list;
  std::FILE* file = std::fopen(path, "r");
  if (!file) return list;
  std::string line;
  for (int c; static_cast<int>(list.entries.size()) < count && (c = std::getc(file)) != EOF;) {
    if (c == '\n') {
      list.entries.push_back(std::move(line));
      line.clear();
    } else {
      line.push_back(static_cast<char>(c));
    }
  }
  std::fclose(file);
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
