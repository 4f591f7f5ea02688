#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/config_keys.h"

// Ages under 15 minutes stand out unless fresh says otherwise.
inline constexpr std::uint32_t DEFAULT_FRESH = 15 * 60;

// The settings read from orvek.conf, and the URL the fetch derives from them.
struct Settings {
  std::string status_url;   // server value + STATUS_PATH
  std::string username;
  std::string password;
  bool digest = false;      // the value was exactly "yes": Digest authentication
  bool newcgi = false;      // the value was exactly "true": the postfield service form
  // How far the server's certificate is trusted (unchecked chain when none
  // is set), and where the password may come from instead.
  bool verify = false;       // the value was exactly "yes": chain against the system's CAs
  std::string cafile;        // chain against the PEM CA certificates in this file
  std::string pin;           // sha256//BASE64[;sha256//BASE64...]: the public keys accepted
  std::string passwordfile;  // the password is this file's first line, read at every fetch
  // maxage: the oldest status data, in seconds, shown as current. Nothing
  // when the line is missing or its value is no number of seconds (or of
  // minutes or hours, read_seconds); then the data's age is not asked for.
  std::optional<std::uint32_t> max_age;
  std::string max_age_value;  // the value as written, for a check from the shell
  std::string data_age_url;   // server value + DATA_AGE_PATH
  // What the JSON status adds to the list's problems, asked only when one
  // of these is on.
  bool ages = false;          // "ages yes": each problem's time in its state
  bool output = false;        // "output yes": the check's output after the name
  bool soft_hide = false;     // "soft hide": SOFT problems are not drawn
  std::uint32_t fresh = DEFAULT_FRESH;  // ages under this many seconds stand out
  std::string fresh_value;    // as written
  std::string hostlist_url;     // server value + HOSTLIST_PATH
  std::string servicelist_url;  // server value + SERVICELIST_PATH
  std::string members_url;      // server value + MEMBERS_PATH

  // Whether the JSON status is asked for the problems' details.
  bool wants_details() const { return ages || output || soft_hide || grouped(); }
  // hostgroup, servicegroup: this server's screen shows only the problems
  // of that group (the JSON status's filter); empty: no such key.
  std::string hostgroup;
  std::string servicegroup;
  bool grouped() const { return !hostgroup.empty() || !servicegroup.empty(); }

  bool operator==(const Settings&) const = default;
};

inline constexpr std::string_view STATUS_PATH = "/cgi-bin/statuswml.cgi?style=uprobs";
// The server's JSON status CGI, asked for the age of its status data and
// the hosts the user may see.
inline constexpr std::string_view DATA_AGE_PATH = "/cgi-bin/statusjson.cgi?query=hostcount";
// The problem hosts and services, with the details the list lacks.
inline constexpr std::string_view HOSTLIST_PATH =
    "/cgi-bin/statusjson.cgi?query=hostlist&details=true&hoststatus=down+unreachable";
// The services of a service group, whatever their state: a DOWN host with
// one of them shows on that group's screen.
inline constexpr std::string_view MEMBERS_PATH = "/cgi-bin/statusjson.cgi?query=servicelist";
inline constexpr std::string_view SERVICELIST_PATH =
    "/cgi-bin/statusjson.cgi?query=servicelist&details=true&servicestatus=warning+critical+unknown";
// The largest maxage read: a year.
inline constexpr std::uint32_t MAX_AGE_LIMIT = 366u * 24 * 3600;
inline constexpr std::string_view CONFIG_FILE_NAME = "orvek.conf";
inline constexpr std::size_t TOKEN_LIMIT = 4095;  // longer tokens keep their start
// A configuration is a few lines; what lies beyond this many bytes is not read.
inline constexpr std::size_t CONFIG_READ_LIMIT = 1 << 20;

// What the reader did with one line.
enum class LineFate : std::uint8_t {
  NOTHING,  // blanks or a comment only: nothing to take
  TAKEN,    // its line end committed the value to the keys found on it
  NO_KEY,   // text but no key: the text stays in the reader, and the next line's is added to it
  RUN_ON,   // no key, and it began with an earlier line's text still held (carried_from)
  UNENDED,  // keys found, but it is the last line and has no line end: nothing committed
};

// What came of a value taken (fate TAKEN), for the key that took it.
enum class ValueUse : std::uint8_t {
  USED,      // the setting holds it
  OFF,       // a switch's value other than its one word: the switch stays off
  UNUSABLE,  // a maxage that is no number of seconds: no limit is set
};

struct LineReading {
  std::size_t number = 0;             // counted from 1
  std::size_t start = 0, length = 0;  // the line within the text, its line end left out
  bool ended = false;                 // has its line end
  LineFate fate = LineFate::NOTHING;
  std::uint32_t keys = 0;             // bit k: CONFIG_KEYS[k] was found on this line
  std::size_t first_key = KEY_COUNT;  // the first key found, in the line's order
  bool joined = false;                // a key was found only together with the text carried in
  std::size_t value_start = 0;        // within the line: after the space that ended the last key found
  std::size_t carried_from = 0;       // the line whose text the reader held when this one began (0: none)
  std::string value;                  // TAKEN: what the first key in commit order got
  bool spaces_dropped = false;        // spaces inside the value after the last key were dropped
  bool cut_at_hash = false;           // a "#" right after text of that value ended it
  ValueUse use = ValueUse::USED;
  std::size_t overridden_by = 0;      // TAKEN: the last later line that set that key again (0: none)
};

// The reader's account of a file: each line that held anything, in order
// (blank and comment lines are left out), and the line that last set each key.
struct ConfigReading {
  std::vector<LineReading> lines;
  std::array<std::size_t, KEY_COUNT> last_line{};  // 0: never set
};

struct ConfigRead {
  Settings settings;
  ConfigReading reading;
};

// A number of seconds as maxage is written: digits, then nothing or s for
// seconds, m for minutes, h for hours (in either case: "5m", "2H", "30s"),
// up to limit seconds. Nothing for anything else ("5x", "1.5h", "5m30s",
// "-5", a carriage return left by Windows line ends).
std::optional<std::uint32_t> read_seconds(std::string_view text, std::uint32_t limit);

// Where orvek.conf is looked for when -c does not name a file.
const std::vector<std::string>& config_search_directories();

// Parses the text of a configuration file and derives status_url.
Settings parse_config(std::string_view text);

// The same reading, with the reader's account of every line.
ConfigRead read_config(std::string_view text);

// The values a reading committed, as written, by the rows of CONFIG_KEYS
// (empty: never set, or set empty).
using ConfigValues = std::array<std::string, KEY_COUNT>;

// Whole lines of a text: the bytes [start, end), the first of them being
// line first_line of the text.
struct LineSpan {
  std::size_t start = 0, end = 0;
  std::size_t first_line = 1;
};

// The reader on the lines of span alone, as on a file of their own (text
// left over at its end is dropped, not carried on), its account numbering
// the lines as in text. sectioned: the file has server sections, and so
// also the keys only such a file reads.
ConfigValues read_config_values(std::string_view text, LineSpan span, bool sectioned, ConfigReading& reading);

// The settings of these values, derived as parse_config derives them.
Settings settings_of(ConfigValues values);

// A configuration file as the reader met it, so that a check from the shell
// tells of the very text the settings came from, without reading it again.
struct ConfigText {
  std::string text;
  ConfigReading reading;
};

// The configuration file chosen: config_path when it is a readable regular
// file, else (without config_path) the first orvek.conf found in
// search_directories that is one; nothing when there is none.
std::optional<std::string> choose_config_file(const char* config_path,
                                              const std::vector<std::string>& search_directories);

// Chooses the configuration file (config_path, or the first orvek.conf found
// in search_directories that is a readable regular file) and loads it;
// chosen_path, when given, receives the file's path, and as_read its text
// and the reader's account of it. Nothing when no file can be read.
std::optional<Settings> find_config_file(
    const char* config_path, const std::vector<std::string>& search_directories = config_search_directories(),
    std::string* chosen_path = nullptr, ConfigText* as_read = nullptr);

// The settings of the file at path; nothing when it cannot be read.
std::optional<Settings> load_config(const std::string& path, ConfigText* as_read = nullptr);

inline constexpr std::string_view CONFIG_NOT_FOUND = "Could not find orvek.conf, exiting.";
