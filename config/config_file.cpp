#include "config/config_file.h"

#include <array>
#include <cstdint>
#include <utility>

#include "config/text_file.h"

namespace {

// More digits than this are over any limit; and 10^10 hours still fit in
// 64 bits, so the product cannot overflow.
constexpr std::size_t SECONDS_DIGITS = 10;

bool can_open(const std::string& path) { return read_text_file(path.c_str(), 0).has_value(); }

// The reader's state between characters.
struct Reader {
  std::array<std::string, KEY_COUNT> values;  // the raw values committed
  std::string token;
  std::array<bool, KEY_COUNT> pending{};
  bool in_comment = false;
  std::size_t token_line = 0;  // the line whose text the token began with
  bool sectioned = false;      // a file with server sections: its own keys are keys too
  std::size_t line = 1;        // the line being read
  std::size_t line_start = 0;
  std::array<std::size_t, KEY_COUNT> last_line{};
  // What the line being read came to, when recorded.
  LineReading reading;
  bool had_text = false;          // the line added a character to the token
  bool space_after_value = false;  // a space dropped after some of the value
};

// The use a key makes of the value it took.
ValueUse use_of(std::size_t key, const std::string& value) {
  const ConfigKey& row = CONFIG_KEYS[key];
  if (row.kind == KeyKind::SWITCH && value != row.on_word) return ValueUse::OFF;
  if (row.kind == KeyKind::SECONDS && !read_seconds(value, MAX_AGE_LIMIT)) return ValueUse::UNUSABLE;
  return ValueUse::USED;
}

void start_line(Reader& r, std::size_t at) {
  r.line_start = at;
  r.reading = {};
  r.reading.number = r.line;
  r.reading.start = at;
  r.reading.carried_from = r.token.empty() ? 0 : r.token_line;
  r.had_text = false;
  r.space_after_value = false;
}

// The fate of a line, once its end (or the end of the text) is met.
void finish_line(Reader& r, std::size_t end, bool ended, std::vector<LineReading>* record) {
  LineReading& line = r.reading;
  line.length = end - line.start;
  line.ended = ended;
  if (line.keys != 0)
    line.fate = ended ? LineFate::TAKEN : LineFate::UNENDED;
  else if (r.had_text)
    line.fate = line.carried_from != 0 ? LineFate::RUN_ON : LineFate::NO_KEY;
  if (record && line.fate != LineFate::NOTHING) record->push_back(std::move(line));
}

void read_character(Reader& r, std::string_view text, std::size_t at, std::vector<LineReading>* record) {
  const char c = text[at];
  if (r.in_comment && c != '\n') return;
  LineReading& line = r.reading;
  // Text in the token after a key found on this line is that key's value.
  const bool in_value = line.keys != 0 && !r.token.empty();
  if (c == '#') {
    r.in_comment = true;
    line.cut_at_hash = in_value && text[at - 1] != ' ';
  } else if (c == ' ') {
    // Only a whole token that names a key is a key; any other word simply
    // goes on, so spaces inside a value vanish.
    const std::optional<std::size_t> key = read_key_index(r.token, r.sectioned);
    if (!key) {
      r.space_after_value = r.space_after_value || in_value;
      return;
    }
    r.pending[*key] = true;
    if (line.keys == 0) line.first_key = *key;
    line.keys |= static_cast<std::uint32_t>(1u << *key);
    line.joined = line.joined || (line.carried_from != 0 && r.token_line != line.number);
    line.value_start = at + 1 - r.line_start;
    // A value begins again.
    line.spaces_dropped = line.cut_at_hash = r.space_after_value = false;
    r.token.clear();
  } else if (c == '\n') {
    r.in_comment = false;
    // With no key pending the token is kept and the next line continues it.
    bool first = true;
    for (std::size_t k = 0; k < KEY_COUNT; ++k) {
      if (!r.pending[k]) continue;
      if (first && record) {
        r.reading.value = r.token;
        r.reading.use = use_of(k, r.token);
      }
      first = false;
      r.values[k] = r.token;
      r.last_line[k] = r.line;
      r.token.clear();
      r.pending[k] = false;
    }
    finish_line(r, at, true, record);
    ++r.line;
    start_line(r, at + 1);
  } else {
    if (r.token.empty()) r.token_line = r.line;
    r.had_text = true;
    line.spaces_dropped = line.spaces_dropped || r.space_after_value;
    if (r.token.size() < TOKEN_LIMIT) r.token.push_back(c);
  }
}

}  // namespace

Settings settings_of(ConfigValues values) {
  const auto value = [&values](std::string_view name) -> std::string& { return values[*key_index(name)]; };
  const auto on = [&values](std::string_view name) {
    const std::size_t k = *key_index(name);
    return values[k] == CONFIG_KEYS[k].on_word;
  };
  Settings result;
  const std::string& server = value("server");
  result.status_url = server + std::string(STATUS_PATH);
  result.data_age_url = server + std::string(DATA_AGE_PATH);
  result.username = std::move(value("username"));
  result.password = std::move(value("password"));
  // Exactly the switch's word: "Yes", or "yes" with a carriage return, is no.
  result.digest = on("digest");
  result.newcgi = on("newcgi");
  result.verify = on("verify");
  result.cafile = std::move(value("cafile"));
  result.pin = std::move(value("pin"));
  result.passwordfile = std::move(value("passwordfile"));
  result.max_age = read_seconds(value("maxage"), MAX_AGE_LIMIT);
  result.max_age_value = std::move(value("maxage"));
  result.hostlist_url = server + std::string(HOSTLIST_PATH);
  result.servicelist_url = server + std::string(SERVICELIST_PATH);
  result.ages = on("ages");
  result.output = on("output");
  result.soft_hide = on("soft");
  result.fresh = read_seconds(value("fresh"), MAX_AGE_LIMIT).value_or(DEFAULT_FRESH);
  result.fresh_value = std::move(value("fresh"));
  result.hostgroup = std::move(value("hostgroup"));
  result.servicegroup = std::move(value("servicegroup"));
  result.members_url = server + std::string(MEMBERS_PATH);
  return result;
}

namespace {

// The one reader of orvek.conf, on the lines of span as if they were a file
// of their own; record, when given, receives its account of each line.
ConfigValues read(std::string_view text, LineSpan span, bool sectioned, ConfigReading* record) {
  Reader r;
  r.sectioned = sectioned;
  r.line = span.first_line;
  std::vector<LineReading>* lines = record ? &record->lines : nullptr;
  start_line(r, span.start);
  for (std::size_t at = span.start; at < span.end; ++at) read_character(r, text, at, lines);
  // A last line without its newline is never committed.
  if (r.line_start < span.end) finish_line(r, span.end, false, lines);
  if (record) {
    record->last_line = r.last_line;
    for (LineReading& line : record->lines)
      if (line.fate == LineFate::TAKEN) {
        std::size_t k = 0;
        while (!(line.keys & (1u << k))) ++k;
        if (r.last_line[k] != line.number) line.overridden_by = r.last_line[k];
      }
  }
  return std::move(r.values);
}

LineSpan whole(std::string_view text) { return {0, text.size(), 1}; }

}  // namespace

std::optional<std::uint32_t> read_seconds(std::string_view text, std::uint32_t limit) {
  std::uint64_t unit = 1;
  if (!text.empty()) {
    switch (text.back()) {
      case 's': case 'S': text.remove_suffix(1); break;
      case 'm': case 'M': unit = 60; text.remove_suffix(1); break;
      case 'h': case 'H': unit = 3600; text.remove_suffix(1); break;
      default: break;
    }
  }
  if (text.empty() || text.size() > SECONDS_DIGITS) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  value *= unit;
  if (value > limit) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

const std::vector<std::string>& config_search_directories() {
  static const std::vector<std::string> directories = {"./", "/etc/", "/usr/local/etc/"};
  return directories;
}

Settings parse_config(std::string_view text) { return settings_of(read(text, whole(text), false, nullptr)); }

ConfigRead read_config(std::string_view text) {
  ConfigRead result;
  result.settings = settings_of(read(text, whole(text), false, &result.reading));
  return result;
}

ConfigValues read_config_values(std::string_view text, LineSpan span, bool sectioned, ConfigReading& reading) {
  return read(text, span, sectioned, &reading);
}

std::optional<Settings> load_config(const std::string& path, ConfigText* as_read) {
  std::optional<std::string> text = read_text_file(path.c_str(), CONFIG_READ_LIMIT);
  if (!text) return std::nullopt;
  if (!as_read) return parse_config(*text);
  ConfigRead read = read_config(*text);
  *as_read = {std::move(*text), std::move(read.reading)};
  return std::move(read.settings);
}

std::optional<std::string> choose_config_file(const char* config_path,
                                              const std::vector<std::string>& search_directories) {
  if (config_path) {
    if (!can_open(config_path)) return std::nullopt;
    return config_path;
  }
  for (const auto& directory : search_directories) {
    std::string candidate = directory + std::string(CONFIG_FILE_NAME);
    if (can_open(candidate)) return candidate;
  }
  return std::nullopt;
}

std::optional<Settings> find_config_file(const char* config_path, const std::vector<std::string>& search_directories,
                                         std::string* chosen_path, ConfigText* as_read) {
  const std::optional<std::string> chosen = choose_config_file(config_path, search_directories);
  if (!chosen) return std::nullopt;
  if (chosen_path) *chosen_path = *chosen;
  // The file may vanish between the search and the parse: that is the same
  // as not finding it.
  return load_config(*chosen, as_read);
}
