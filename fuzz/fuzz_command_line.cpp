// Any bytes as the words of a command line, cut at zero bytes, after a fixed
// program name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "config/command_line.h"
#include "fuzz_check.h"

namespace {

// A path option points into argv itself: at a word, or inside one when the
// value is glued to its option ("-cfile").
bool points_into(const char* path, const std::vector<char*>& argv) {
  if (!path) return true;
  for (char* word : argv) {
    if (!word) continue;
    const std::string_view text(word);
    if (path >= word && path <= word + text.size()) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // getopt's own complaints about unknown options would bury the fuzzer's log.
  opterr = 0;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Copies, since getopt may keep pointers into the words and argv is mutable.
  std::vector<std::string> words = {"orvek"};
  std::string word;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      words.push_back(word);
      word.clear();
    } else {
      word.push_back(static_cast<char>(data[i]));
    }
  }
  if (size) words.push_back(word);

  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(words.size());

  const Options read = read_command_line(argc, argv.data());
  FUZZ_CHECK(points_into(read.config_path, argv));
  FUZZ_CHECK(points_into(read.exclude_path, argv));
  // Reading does not depend on what an earlier call left in getopt's state.
  const Options again = read_command_line(argc, argv.data());
  FUZZ_CHECK(again.config_path == read.config_path);
  FUZZ_CHECK(again.exclude_path == read.exclude_path);
  FUZZ_CHECK(again.refresh_interval == read.refresh_interval);
  FUZZ_CHECK(again.show_hidden == read.show_hidden && again.show_clock == read.show_clock && again.check == read.check &&
             again.show_version == read.show_version && again.show_help == read.show_help);
  return 0;
}
