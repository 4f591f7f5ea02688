// Any bytes as an exclude file, loaded from a real file; then the two
// lookups (a hash of the entries, one automaton over them all) are asked
// about names cut from the same bytes, and their answers are compared with a
// plain byte-by-byte reading of the rules, one entry after another.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/exclude_list.h"
#include "scratch_file.h"

namespace {

const ScratchFile& exclude_file() {
  static const ScratchFile file("orvek-fuzz-exclude");
  return file;
}

// The pieces of text between separators; the piece after the last one is
// included only when asked for.
std::vector<std::string_view> split(std::string_view text, char separator, bool keep_tail) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find(separator, start)) != std::string_view::npos; start = end + 1)
    pieces.push_back(text.substr(start, end - start));
  if (keep_tail) pieces.push_back(text.substr(start));
  return pieces;
}

unsigned char fold(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u + 32) : u;
}

bool expected_host_hidden(const std::vector<std::string_view>& lines, std::string_view host) {
  return std::find(lines.begin(), lines.end(), host) != lines.end();
}

bool expected_service_hidden(const std::vector<std::string_view>& lines, std::string_view service) {
  for (const std::string_view entry : lines) {
    const auto at = std::search(service.begin(), service.end(), entry.begin(), entry.end(),
                                [](char a, char b) { return fold(a) == fold(b); });
    if (at != service.end() || entry.empty()) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  exclude_file();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const ScratchFile& file = exclude_file();
  file.write(data, size);
  const char* path = file.path().c_str();

  // Only newline-ended lines are entries, each kept whole.
  const std::vector<std::string_view> lines = split(text, '\n', false);
  const ExcludeList list = load_exclude_list(path);
  const std::vector<std::string_view> entries = exclude_entries(list);
  FUZZ_CHECK(list.count == lines.size() && entries.size() == lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) FUZZ_CHECK(entries[i] == lines[i]);

  // Names: the zero-separated pieces of the input, and the lines again; a
  // few of each, as the plain reading walks the whole list for every name.
  constexpr std::size_t NAMES_PER_SOURCE = 32;
  std::vector<std::string_view> names = split(text, '\0', true);
  names.resize(std::min(names.size(), NAMES_PER_SOURCE));
  names.insert(names.end(), lines.begin(), lines.begin() + std::min(lines.size(), NAMES_PER_SOURCE));
  for (const std::string_view name : names) {
    FUZZ_CHECK(host_is_excluded(list, name) == expected_host_hidden(lines, name));
    FUZZ_CHECK(service_is_excluded(list, name) == expected_service_hidden(lines, name));
  }
  return 0;
}
