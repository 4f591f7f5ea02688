// Any bytes as the text of orvek.conf: the in-memory reader on every input,
// with and without its account of the lines, and now and then the file
// loader on the same bytes written to a real file, which must agree with it
// in every setting; -t's notes made from the account; and the reading of
// server sections, which leaves a text without a "[server" exactly as it was.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "config/config_diagnosis.h"
#include "config/config_file.h"
#include "config/server_sections.h"
#include "scratch_file.h"

namespace {

const ScratchFile& config_file() {
  static const ScratchFile file("orvek-fuzz-conf");
  return file;
}

// Spaces are dropped, "#" starts a comment and a newline commits, so none of
// them can end up inside a value; nor can a value outgrow the token.
void check_value(std::string_view value) {
  FUZZ_CHECK(value.find_first_of(" #\n") == std::string_view::npos);
  FUZZ_CHECK(value.size() <= TOKEN_LIMIT);
}

// The notes name lines of the text, each once, in order, within bounds.
void check_notes(const LineNotes& notes, std::string_view text) {
  const std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
  std::size_t previous = 0;
  for (const LineNote& note : notes.notes) {
    FUZZ_CHECK(note.line > previous && note.line <= lines);
    FUZZ_CHECK(!note.why.empty());
    previous = note.line;
  }
  FUZZ_CHECK(notes.notes.size() + notes.more <= lines);
}

bool same_notes(const LineNotes& a, const LineNotes& b) {
  if (a.notes.size() != b.notes.size() || a.more != b.more || a.key_lines != b.key_lines) return false;
  for (std::size_t i = 0; i < a.notes.size(); ++i)
    if (a.notes[i].line != b.notes[i].line || a.notes[i].text != b.notes[i].text || a.notes[i].why != b.notes[i].why)
      return false;
  return true;
}

// Sections: a text read without them is one server, read and told exactly
// as the reader alone reads and tells it.
void check_servers(std::string_view text, const Settings& parsed, const LineNotes& notes) {
  const ServersConfig config = read_servers(text, "orvek.conf");
  const LineNotes servers_notes = diagnose_servers(text, config);
  if (text.find("[server") == std::string_view::npos) FUZZ_CHECK(!config.sectioned);
  if (!config.sectioned) {
    FUZZ_CHECK(config.fault.empty() && config.servers.size() == 1 && config.parts.size() == 1);
    FUZZ_CHECK(config.servers[0].settings == parsed && config.servers[0].exclude_path.empty());
    FUZZ_CHECK(same_notes(servers_notes, notes));
  } else {
    FUZZ_CHECK(config.fault.empty() != config.servers.empty());
    FUZZ_CHECK(config.fault.empty() || config.fault.starts_with("orvek.conf:"));
    FUZZ_CHECK(config.servers.empty() || config.parts.size() == config.servers.size() + 1);
  }
  std::size_t previous_end = 1;
  for (const ServerConfig& server : config.servers) {
    FUZZ_CHECK(server.first_line >= previous_end && server.end_line >= server.first_line);
    previous_end = server.end_line;
    check_value(server.exclude_path);
    check_value(server.settings.username);
    FUZZ_CHECK(server.settings.max_age == read_seconds(server.settings.max_age_value, MAX_AGE_LIMIT));
  }
  check_notes(servers_notes, text);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  config_file();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const ConfigRead read = read_config(text);
  const Settings& parsed = read.settings;
  // Keeping an account of the lines changes nothing read.
  FUZZ_CHECK(parse_config(text) == parsed);

  FUZZ_CHECK(parsed.status_url.size() >= STATUS_PATH.size());
  const std::string_view url = parsed.status_url;
  FUZZ_CHECK(url.substr(url.size() - STATUS_PATH.size()) == STATUS_PATH);
  check_value(url.substr(0, url.size() - STATUS_PATH.size()));
  check_value(parsed.username);
  check_value(parsed.password);
  check_value(parsed.cafile);
  check_value(parsed.pin);
  check_value(parsed.passwordfile);
  check_value(parsed.max_age_value);
  FUZZ_CHECK(parsed.max_age == read_seconds(parsed.max_age_value, MAX_AGE_LIMIT));
  FUZZ_CHECK(!parsed.max_age || *parsed.max_age <= MAX_AGE_LIMIT);

  // The account: lines in order within the text, each key's last line one
  // that took it.
  std::size_t previous_line = 0;
  for (const LineReading& line : read.reading.lines) {
    FUZZ_CHECK(line.number > previous_line && line.start + line.length <= size);
    FUZZ_CHECK(line.fate != LineFate::NOTHING);
    FUZZ_CHECK((line.keys != 0) == (line.fate == LineFate::TAKEN || line.fate == LineFate::UNENDED));
    FUZZ_CHECK(line.ended || line.start + line.length == size);
    previous_line = line.number;
  }
  for (const std::size_t last : read.reading.last_line) FUZZ_CHECK(last <= previous_line);

  const LineNotes notes = diagnose_config(text, read.reading);
  check_notes(notes, text);
  check_servers(text, parsed, notes);

  // The file path costs a write and a read, so only every fourth length
  // takes it; the choice depends on the input alone, so crashes replay.
  if (size % 4 == 0) {
    config_file().write(data, size);
    const std::optional<Settings> loaded = load_config(config_file().path());
    FUZZ_CHECK(loaded && *loaded == parsed);
  }
  return 0;
}
