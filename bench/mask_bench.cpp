// orvek-mask-bench: times the masking of the password in a body as orvek -t
// does it (the mask made once, then the page excerpt and the whole body
// masked), on bodies of RECEIVE_LIMIT bytes built to cost the most: near
// misses of every form, forms at every place, and a password at the
// password file's line limit.
//
//   orvek-mask-bench [--repeat N]
//
// Prints one line per shape to standard output:
//   <shape> forms=<count> build_ms=<mask made> mask_ms=<median, whole body>
//   excerpt_ms=<median, page excerpt>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "check/password_mask.h"
#include "check/shown_text.h"
#include "config/password_file.h"
#include "fetch/status_fetch.h"

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string repeated(const std::string& unit, std::size_t size) {
  std::string text;
  text.reserve(size + unit.size());
  while (text.size() < size) text += unit;
  text.resize(size);
  return text;
}

template <typename F>
double median_ms(int repeat, F&& work) {
  std::vector<double> times;
  for (int i = 0; i < repeat; ++i) {
    const Clock::time_point start = Clock::now();
    work();
    times.push_back(since(start));
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int repeat = 5;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: orvek-mask-bench [--repeat N]\n");
      return 2;
    }
  }
  const std::string typical = "Pa&ss <x> s3cret pass";
  // Every character an encoder writes another way, up to the line limit.
  const std::string longest = repeated("a&b <c> \"d\" 'e' \xC3\xA4", PASSWORD_FILE_LINE_LIMIT - 1);
  // The longest password's forms but their last byte, over and over.
  std::string near_misses;
  for (const std::string& form : password_forms("user", longest)) near_misses += form.substr(0, form.size() - 1) + "#";
  struct Shape {
    const char* name;
    std::string password;
    std::string body;
  };
  const Shape shapes[] = {
      {"typical password, prose", typical, repeated("The quick brown fox jumps over the lazy dog. ", RECEIVE_LIMIT)},
      {"typical password, at every place", typical, repeated(typical, RECEIVE_LIMIT)},
      {"longest password, prose", longest, repeated("The quick brown fox jumps over the lazy dog. ", RECEIVE_LIMIT)},
      {"longest password, near misses of every form", longest, repeated(near_misses, RECEIVE_LIMIT)},
      {"longest password, at every place", longest, repeated(longest, RECEIVE_LIMIT)},
      {"password \"aa\", a body of a", "aa", std::string(RECEIVE_LIMIT, 'a')},
  };
  for (const Shape& shape : shapes) {
    const Clock::time_point start = Clock::now();
    const PasswordMask mask = password_mask("user", {shape.password});
    const double build = since(start);
    std::size_t kept = 0;
    const double whole = median_ms(repeat, [&] { kept += masked(shape.body, mask).size(); });
    const double excerpt = median_ms(repeat, [&] { kept += page_excerpt(shape.body, mask).size(); });
    std::printf("%s: forms=%zu build_ms=%.1f mask_ms=%.1f excerpt_ms=%.1f\n", shape.name, mask.lengths.size(), build,
                whole, excerpt);
    if (kept == 0) return 1;  // keeps the work from being optimised away
  }
  return 0;
}
