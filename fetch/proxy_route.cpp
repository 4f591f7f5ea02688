#include "fetch/proxy_route.h"

#include <curl/curl.h>
#include <memory>
#include <netinet/in.h>
#include <string_view>

#include "fetch/curl_handle.h"

namespace {

struct CleanUpUrl {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

// What libcurl says when it takes a variable from the environment (the
// same words from 7.x to 8.x): "Uses proxy env variable NAME == 'VALUE'".
constexpr std::string_view USES = "Uses proxy env variable ";

struct Heard {
  ProxyRoute route;
  std::string proxy_value;
  long port = 0;  // of the socket libcurl was about to open
};

bool is_no_proxy(std::string_view name) { return name == "no_proxy" || name == "NO_PROXY"; }

int on_debug(CURL*, curl_infotype type, char* data, std::size_t size, void* user) {
  if (type != CURLINFO_TEXT) return 0;
  std::string_view text(data, size);
  if (!text.starts_with(USES)) return 0;
  text.remove_prefix(USES.size());
  const std::size_t equals = text.find(" == '");
  if (equals == std::string_view::npos) return 0;
  const std::string_view name = text.substr(0, equals);
  std::string_view value = text.substr(equals + 5);
  value = value.substr(0, value.rfind('\''));
  auto& heard = *static_cast<Heard*>(user);
  if (is_no_proxy(name)) {
    heard.route.no_proxy_variable = name;
    heard.route.no_proxy = value;
  } else if (!value.empty()) {  // an empty variable names no proxy
    heard.route.variable = name;
    heard.proxy_value = value;
  }
  return 0;
}

// libcurl asks for a socket to the proxy, or to the server where none is
// used: none is given, so nothing is sent.
curl_socket_t refuse_socket(void* user, curlsocktype, curl_sockaddr* address) {
  auto& heard = *static_cast<Heard*>(user);
  if (address->family == AF_INET)
    heard.port = ntohs(reinterpret_cast<const sockaddr_in*>(&address->addr)->sin_port);
  else if (address->family == AF_INET6)
    heard.port = ntohs(reinterpret_cast<const sockaddr_in6*>(&address->addr)->sin6_port);
  return CURL_SOCKET_BAD;
}

// Nor is a name looked up: the route is known by then.
int refuse_lookup(void*, void*, void*) { return 1; }

// "host:port" of a proxy as libcurl is given it ("http://user:pw@host:3128/",
// "host:3128"), read by libcurl's own URL parser; the port libcurl was about
// to connect to where the value names none.
std::string proxy_address(const std::string& value, long socket_port) {
  const std::unique_ptr<CURLU, CleanUpUrl> url(curl_url());
  if (!url || curl_url_set(url.get(), CURLUPART_URL, value.c_str(), CURLU_GUESS_SCHEME | CURLU_NON_SUPPORT_SCHEME) !=
                  CURLUE_OK)
    return "(a value libcurl cannot read)";
  std::string address;
  char* part = nullptr;
  if (curl_url_get(url.get(), CURLUPART_HOST, &part, 0) == CURLUE_OK) address = part;
  curl_free(part);
  part = nullptr;
  // Appended piece by piece: a temporary built with operator+ trips a
  // false -Wrestrict alarm of g++ 12 at -O2 and above.
  if (curl_url_get(url.get(), CURLUPART_PORT, &part, 0) == CURLUE_OK) {
    address.push_back(':');
    address.append(part);
  } else if (socket_port != 0) {
    address.push_back(':');
    address.append(std::to_string(socket_port));
  }
  curl_free(part);
  return address;
}

}  // namespace

ProxyRoute proxy_route(const std::string& url) {
  Heard heard;
  const CurlHandle handle = new_curl_handle();
  if (!handle) return {};
  CURL* h = handle.get();
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  // libcurl names the variables it uses only in its verbose text.
  curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);
  curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, on_debug);
  curl_easy_setopt(h, CURLOPT_DEBUGDATA, &heard);
  curl_easy_setopt(h, CURLOPT_RESOLVER_START_FUNCTION, refuse_lookup);
  curl_easy_setopt(h, CURLOPT_OPENSOCKETFUNCTION, refuse_socket);
  curl_easy_setopt(h, CURLOPT_OPENSOCKETDATA, &heard);
  curl_easy_setopt(h, CURLOPT_TIMEOUT, 5L);
  curl_easy_perform(h);
  if (heard.route.proxied()) heard.route.proxy = proxy_address(heard.proxy_value, heard.port);
  return heard.route;
}
