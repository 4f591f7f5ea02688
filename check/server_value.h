#pragma once
// The configured server value as a check from the shell reads it: the parts
// that decide whether the URL built from it works as meant.
#include <string>
#include <string_view>

struct ServerValue {
  std::string_view scheme;  // before "://"; empty when there is none
  bool has_credentials = false;  // "user:password@" or "user@" before the host
  bool has_query = false;        // a '?': the status path would land inside the query
  bool ends_in_slash = false;    // the path would hold "//"
};

ServerValue read_server_value(std::string_view server);

struct Settings;

// The server value as written: the status URL without its status path.
std::string_view server_text(const Settings& settings);

// url without the "user:password@" before its host.
std::string without_credentials(std::string_view url);
