#pragma once
// Which proxy libcurl takes from the environment for a URL, as libcurl
// itself decides it: http_proxy (never HTTP_PROXY), https_proxy or
// HTTPS_PROXY, all_proxy or ALL_PROXY, and no_proxy or NO_PROXY to except a
// host. The monitor sets no proxy of its own, so these alone decide whether
// its transfers reach the server or a proxy.
#include <string>

struct ProxyRoute {
  std::string variable;           // the variable libcurl took its proxy from; empty: none
  std::string proxy;              // the proxy as host:port, without a user or password
  std::string no_proxy_variable;  // no_proxy or NO_PROXY, when libcurl read one
  std::string no_proxy;           // its value
  bool proxied() const { return !variable.empty(); }
};

// The route libcurl takes for url. Asked of libcurl with a transfer that
// ends before it resolves a name or opens a socket: nothing is sent.
ProxyRoute proxy_route(const std::string& url);
