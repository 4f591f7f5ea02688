#include "common/shown_limits.h"

std::string shown_line_start(std::string_view line, std::size_t limit) {
  if (line.size() <= limit) return std::string(line);
  std::size_t cut = limit;
  // Back to the first byte of the sequence the limit falls into.
  while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
  return std::string(line.substr(0, cut)) + "...";
}
