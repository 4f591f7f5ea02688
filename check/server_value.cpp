#include "check/server_value.h"

#include "config/config_file.h"

namespace {

constexpr auto npos = std::string_view::npos;

// Where the host part starts (after "scheme://", or at the start when there
// is no scheme: libcurl then guesses one) and where it ends.
struct Authority {
  std::size_t start;
  std::size_t end;
};

Authority authority_of(std::string_view url) {
  const std::size_t separator = url.find("://");
  const std::size_t start = separator == npos ? 0 : separator + 3;
  const std::size_t end = url.find_first_of("/?#", start);
  return {start, end == npos ? url.size() : end};
}

}  // namespace

ServerValue read_server_value(std::string_view server) {
  ServerValue value;
  const std::size_t separator = server.find("://");
  if (separator != npos) value.scheme = server.substr(0, separator);
  const Authority authority = authority_of(server);
  value.has_credentials = server.substr(authority.start, authority.end - authority.start).find('@') != npos;
  value.has_query = server.find('?') != npos;
  value.ends_in_slash = server.ends_with('/');
  return value;
}

std::string without_credentials(std::string_view url) {
  const Authority authority = authority_of(url);
  const std::size_t at = url.substr(0, authority.end).rfind('@');
  std::string result(url);
  if (at != npos && at >= authority.start) result.erase(authority.start, at + 1 - authority.start);
  return result;
}

std::string_view server_text(const Settings& settings) {
  const std::string_view url = settings.status_url;
  return url.substr(0, url.size() - STATUS_PATH.size());
}
