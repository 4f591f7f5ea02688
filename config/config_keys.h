#pragma once
// The keys of orvek.conf, once: the reader takes its keys and switch words
// from here, and the check from the shell explains a line by the same rows.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

enum class KeyKind {
  TEXT,     // taken as written (spaces and what follows a "#" dropped, as on every line)
  SWITCH,   // on only when the value is exactly the key's word
  SECONDS,  // a number of seconds; an m or h after it counts minutes or hours
  PATH,     // a file's path
};

struct ConfigKey {
  std::string_view name;
  KeyKind kind;
  std::string_view on_word;  // SWITCH: the one word that turns it on
  bool secret;               // its value never shows
  bool sections_only;        // a key only of a file with server sections; elsewhere the word is no key
};

// In the order a newline commits them: when several keys are pending on one
// line, the first of them takes the value and the others get empty text.
inline constexpr std::array<ConfigKey, 17> CONFIG_KEYS = {{
    {"server", KeyKind::TEXT, {}, false, false},
    {"username", KeyKind::TEXT, {}, false, false},
    {"password", KeyKind::TEXT, {}, true, false},
    {"newcgi", KeyKind::SWITCH, "true", false, false},
    {"digest", KeyKind::SWITCH, "yes", false, false},
    {"verify", KeyKind::SWITCH, "yes", false, false},
    {"cafile", KeyKind::PATH, {}, false, false},
    {"pin", KeyKind::TEXT, {}, false, false},
    {"passwordfile", KeyKind::PATH, {}, false, false},
    {"maxage", KeyKind::SECONDS, {}, false, false},
    // Last: the keys before it keep their places and their order of commit.
    {"exclude", KeyKind::PATH, {}, false, true},  // the server's own exclude file (as -e names one)
    // What the server's JSON status adds to the list's problems.
    {"ages", KeyKind::SWITCH, "yes", false, false},    // each problem's time in its state
    {"fresh", KeyKind::SECONDS, {}, false, false},     // ages under this stand out
    {"output", KeyKind::SWITCH, "yes", false, false},  // the check's output after the name
    {"soft", KeyKind::SWITCH, "hide", false, false},   // SOFT problems are not drawn
    {"hostgroup", KeyKind::TEXT, {}, false, false},     // only the problems of this host group
    {"servicegroup", KeyKind::TEXT, {}, false, false},  // only the problems of this service group
}};

inline constexpr std::size_t KEY_COUNT = CONFIG_KEYS.size();

// The index of the key spelt exactly name; nothing for any other word.
constexpr std::optional<std::size_t> key_index(std::string_view name) {
  for (std::size_t k = 0; k < KEY_COUNT; ++k)
    if (CONFIG_KEYS[k].name == name) return k;
  return std::nullopt;
}

// Whether a file reads the key: one with server sections reads every key,
// one without only those it has always read.
constexpr bool key_is_read(const ConfigKey& row, bool sectioned) { return sectioned || !row.sections_only; }

// The index of the key such a file reads when it meets name.
constexpr std::optional<std::size_t> read_key_index(std::string_view name, bool sectioned) {
  const std::optional<std::size_t> k = key_index(name);
  if (k && key_is_read(CONFIG_KEYS[*k], sectioned)) return k;
  return std::nullopt;
}

// The row of a key the table holds; a name not in it is a mistake in the
// code, caught when compiled.
consteval std::size_t key_of(std::string_view name) { return *key_index(name); }

// A switch's line as it turns the switch on ("digest yes"), for advice that
// names it.
inline std::string switch_on(std::string_view name) {
  const ConfigKey& row = CONFIG_KEYS[*key_index(name)];
  return std::string(row.name).append(" ").append(row.on_word);
}
