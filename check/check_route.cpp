#include "check/check_route.h"

#include <curl/curl.h>

#include "check/server_value.h"
#include "check/shown_text.h"
#include "common/text_search.h"
#include "config/config_file.h"
#include "fetch/certificate.h"
#include "fetch/failure_words.h"
#include "fetch/status_fetch.h"

namespace {

using std::string;

// What the user's environment holds, as text: control bytes shown.
string written(std::string_view text) { return shown(text, {}); }

bool plain_http(const Settings& settings) {
  const std::string_view scheme = read_server_value(server_text(settings)).scheme;
  // No scheme: libcurl takes http.
  return scheme.empty() || equal_ignoring_case(scheme, "http");
}

// The connection libcurl could not make: with a proxy, the proxy's.
bool connection_failed(const FetchResult& fetched) {
  return fetched.failure == FetchFailure::TRANSPORT &&
         (fetched.curl_code == CURLE_COULDNT_CONNECT || fetched.curl_code == CURLE_COULDNT_RESOLVE_PROXY);
}

string through(const ProxyRoute& proxy) {
  return "through the proxy " + written(proxy.proxy) + " from " + proxy.variable;
}

}  // namespace

bool needs_tls_probe(const Settings& settings, const FetchResult& fetched, const ProxyRoute& proxy) {
  if (proxy.proxied() || !plain_http(settings) || fetched.failure != FetchFailure::TRANSPORT) return false;
  switch (fetched.curl_code) {
    case CURLE_GOT_NOTHING:           // a TLS server closes on a request it cannot read
    case CURLE_RECV_ERROR:            // or resets the connection
    case CURLE_WEIRD_SERVER_REPLY:    // or sends an alert, which is no HTTP
    case CURLE_UNSUPPORTED_PROTOCOL:  // "HTTP/0.9", as libcurl takes such bytes
      return true;
    default: return false;
  }
}

RouteLook look_at_route(const Settings& settings, const FetchResult& fetched, const Deadline& deadline) {
  RouteLook route;
  route.proxy = proxy_route(settings.status_url);
  if (needs_tls_probe(settings, fetched, route.proxy) && ms_left(deadline) > 0)
    route.tls_answered = tls_answers(settings.status_url, ms_left(deadline));
  return route;
}

string failure_on_route(const FetchResult& fetched, const RouteLook& route) {
  string words = failure_words(fetched);
  if (route.proxy.proxied() && connection_failed(fetched)) words = through(route.proxy) + ": " + words;
  return words;
}

std::vector<CheckLine> route_lines(const RouteLook& route) {
  const ProxyRoute& proxy = route.proxy;
  if (!proxy.proxied()) return {};
  string value = through(proxy) + "; ";
  if (proxy.no_proxy_variable.empty())
    value += "neither no_proxy nor NO_PROXY is set";
  else
    value += proxy.no_proxy_variable + " (\"" + written(proxy.no_proxy) + "\") does not name this host";
  return {{"route", value}};
}

std::vector<CheckLine> route_hints(const FetchResult& fetched, const RouteLook& route) {
  std::vector<CheckLine> hints;
  if (route.tls_answered)
    hints.push_back({"hint", "this port may speak TLS: try https:// (a TLS server answered a handshake there)"});
  if (route.proxy.proxied() && connection_failed(fetched))
    hints.push_back({"hint", "the proxy comes from the environment, not from orvek.conf: unset " +
                                 route.proxy.variable + ", or name the server's host in NO_PROXY"});
  return hints;
}
