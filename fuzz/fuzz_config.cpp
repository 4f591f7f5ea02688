// Any bytes as the text of orvek.conf: the in-memory parser on every input,
// and now and then the file loader on the same bytes written to a real file,
// which must agree with it; and the second look -t takes at the text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "config/config_diagnosis.h"
#include "config/config_file.h"
#include "scratch_file.h"

namespace {

const ScratchFile& config_file() {
  static const ScratchFile file("orvek-fuzz-conf");
  return file;
}

bool same(const Settings& a, const Settings& b) {
  return a.status_url == b.status_url && a.username == b.username && a.password == b.password &&
         a.digest == b.digest && a.newcgi == b.newcgi && a.verify == b.verify && a.cafile == b.cafile &&
         a.pin == b.pin && a.passwordfile == b.passwordfile;
}

// Spaces are dropped, "#" starts a comment and a newline commits, so none of
// them can end up inside a value; nor can a value outgrow the token.
void check_value(std::string_view value) {
  FUZZ_CHECK(value.find_first_of(" #\n") == std::string_view::npos);
  FUZZ_CHECK(value.size() <= TOKEN_LIMIT);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  config_file();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const Settings parsed = parse_config(text);

  FUZZ_CHECK(parsed.status_url.size() >= STATUS_PATH.size());
  const std::string_view url = parsed.status_url;
  FUZZ_CHECK(url.substr(url.size() - STATUS_PATH.size()) == STATUS_PATH);
  check_value(url.substr(0, url.size() - STATUS_PATH.size()));
  check_value(parsed.username);
  check_value(parsed.password);
  check_value(parsed.cafile);
  check_value(parsed.pin);
  check_value(parsed.passwordfile);

  // The notes name lines of the text, each once, in order, within bounds.
  const LineNotes notes = diagnose_config(text);
  std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
  std::size_t previous = 0;
  for (const LineNote& note : notes.notes) {
    FUZZ_CHECK(note.line > previous && note.line <= lines);
    FUZZ_CHECK(!note.why.empty());
    previous = note.line;
  }
  FUZZ_CHECK(notes.notes.size() + notes.more <= lines);

  // The file path costs a write and a read, so only every fourth length
  // takes it; the choice depends on the input alone, so crashes replay.
  if (size % 4 == 0) {
    config_file().write(data, size);
    const std::optional<Settings> loaded = load_config(config_file().path());
    FUZZ_CHECK(loaded && same(*loaded, parsed));
  }
  return 0;
}
