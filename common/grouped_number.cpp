#include "common/grouped_number.h"

// Built forwards with push_back: inserting into the string trips a false
// -Wrestrict alarm of g++ 12 at -O2.
std::string grouped(std::size_t number) {
  const std::string digits = std::to_string(number);
  std::string text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text.push_back(',');
    text.push_back(digits[i]);
  }
  return text;
}
