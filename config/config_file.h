#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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
  // when the line is missing or its value is no whole number of seconds;
  // then the data's age is not asked for.
  std::optional<std::uint32_t> max_age;
  std::string max_age_value;  // the value as written, for a check from the shell
  std::string data_age_url;   // server value + DATA_AGE_PATH
};

inline constexpr std::string_view STATUS_PATH = "/cgi-bin/statuswml.cgi?style=uprobs";
// The server's JSON status CGI, asked for the age of its status data and
// the hosts the user may see.
inline constexpr std::string_view DATA_AGE_PATH = "/cgi-bin/statusjson.cgi?query=hostcount";
// The largest maxage read: a year.
inline constexpr std::uint32_t MAX_AGE_LIMIT = 366u * 24 * 3600;
inline constexpr std::string_view CONFIG_FILE_NAME = "orvek.conf";
inline constexpr std::size_t TOKEN_LIMIT = 4095;  // longer tokens keep their start
// A configuration is a few lines; what lies beyond this many bytes is not read.
inline constexpr std::size_t CONFIG_READ_LIMIT = 1 << 20;

// The keys the reader knows, in the order a newline commits them.
std::span<const std::string_view> config_key_names();

// Where orvek.conf is looked for when -c does not name a file.
const std::vector<std::string>& config_search_directories();

// Parses the text of a configuration file and derives status_url.
Settings parse_config(std::string_view text);

// Chooses the configuration file (config_path, or the first orvek.conf found
// in search_directories that is a readable regular file) and loads it;
// chosen_path, when given, receives the file's path. Nothing when no file can
// be read.
std::optional<Settings> find_config_file(
    const char* config_path, const std::vector<std::string>& search_directories = config_search_directories(),
    std::string* chosen_path = nullptr);

// The settings of the file at path; nothing when it cannot be read.
std::optional<Settings> load_config(const std::string& path);

inline constexpr std::string_view CONFIG_NOT_FOUND = "Could not find orvek.conf, exiting.";
