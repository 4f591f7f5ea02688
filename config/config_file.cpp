#include "config/config_file.h"

#include <array>
#include <cstdint>

#include "config/text_file.h"

namespace {

// The keys in the order a newline commits them: when several are pending on
// one line, the first of them takes the value and the others get empty text.
constexpr std::array<std::string_view, 10> KEY_NAMES = {"server", "username", "password", "newcgi", "digest",
                                                         "verify", "cafile", "pin",    "passwordfile", "maxage"};

// The raw values, before digest and newcgi are read as switches.
struct RawValues {
  std::string server, username, password, newcgi, digest, verify, cafile, pin, passwordfile, maxage;
};

std::array<std::string*, KEY_NAMES.size()> key_fields(RawValues& v) {
  return {&v.server, &v.username, &v.password, &v.newcgi,       &v.digest,
          &v.verify, &v.cafile,   &v.pin,      &v.passwordfile, &v.maxage};
}

// A whole number of seconds, digits only, up to MAX_AGE_LIMIT.
std::optional<std::uint32_t> read_max_age(std::string_view text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (value > MAX_AGE_LIMIT) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

bool can_open(const std::string& path) { return read_text_file(path.c_str(), 0).has_value(); }

}  // namespace

std::span<const std::string_view> config_key_names() { return KEY_NAMES; }

const std::vector<std::string>& config_search_directories() {
  static const std::vector<std::string> directories = {"./", "/etc/", "/usr/local/etc/"};
  return directories;
}

Settings parse_config(std::string_view text) {
  RawValues values;
  const auto fields = key_fields(values);
  std::string token;
  std::array<bool, KEY_NAMES.size()> pending{};
  bool in_comment = false;

  for (const char c : text) {
    if (in_comment && c != '\n') continue;
    if (c == '#') {
      in_comment = true;
    } else if (c == ' ') {
      // Only a whole token that names a key is a key; any other word simply
      // goes on, so spaces inside a value vanish.
      for (std::size_t k = 0; k < KEY_NAMES.size(); ++k) {
        if (token == KEY_NAMES[k]) {
          pending[k] = true;
          token.clear();
          break;
        }
      }
    } else if (c == '\n') {
      in_comment = false;
      // With no key pending the token is kept and the next line continues it.
      for (std::size_t k = 0; k < KEY_NAMES.size(); ++k) {
        if (!pending[k]) continue;
        *fields[k] = token;
        token.clear();
        pending[k] = false;
      }
    } else if (token.size() < TOKEN_LIMIT) {
      token.push_back(c);
    }
  }
  // A last line without its newline is never committed.

  Settings result;
  result.status_url = values.server + std::string(STATUS_PATH);
  result.username = std::move(values.username);
  result.password = std::move(values.password);
  // Exactly these words: "Yes", or "yes" with a carriage return, is no.
  result.digest = values.digest == "yes";
  result.newcgi = values.newcgi == "true";
  result.verify = values.verify == "yes";
  result.cafile = std::move(values.cafile);
  result.pin = std::move(values.pin);
  result.passwordfile = std::move(values.passwordfile);
  result.data_age_url = values.server + std::string(DATA_AGE_PATH);
  result.max_age = read_max_age(values.maxage);
  result.max_age_value = std::move(values.maxage);
  return result;
}

std::optional<Settings> load_config(const std::string& path) {
  const std::optional<std::string> text = read_text_file(path.c_str(), CONFIG_READ_LIMIT);
  if (!text) return std::nullopt;
  return parse_config(*text);
}

std::optional<Settings> find_config_file(const char* config_path, const std::vector<std::string>& search_directories,
                                         std::string* chosen_path) {
  std::string chosen;
  if (config_path) {
    if (!can_open(config_path)) return std::nullopt;
    chosen = config_path;
  } else {
    for (const auto& directory : search_directories) {
      std::string candidate = directory + std::string(CONFIG_FILE_NAME);
      if (can_open(candidate)) {
        chosen = std::move(candidate);
        break;
      }
    }
    if (chosen.empty()) return std::nullopt;
  }
  if (chosen_path) *chosen_path = chosen;
  // The file may vanish between the search and the parse: that is the same
  // as not finding it.
  return load_config(chosen);
}
