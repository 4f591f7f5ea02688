#pragma once
// What orvek -t says of the way to the server that no line of the
// configuration shows: a proxy named in the environment, and a TLS server on
// a port the server line speaks plain http to.
#include <string>
#include <vector>

#include "check/check_line.h"
#include "fetch/proxy_route.h"

struct Deadline;
struct FetchResult;
struct Settings;

struct RouteLook {
  ProxyRoute proxy;
  bool tls_answered = false;  // a TLS server answered a handshake on the plain http port
};

// Whether the transfer failed the way a TLS port answers a plain HTTP
// request (closed, reset, or bytes that are no HTTP), over plain http and
// without a proxy: only then is a handshake on that port worth a try.
bool needs_tls_probe(const Settings& settings, const FetchResult& fetched, const ProxyRoute& proxy);

// The route of the status URL: the proxy libcurl takes, and a TLS probe
// where needs_tls_probe says so and the check's deadline leaves time for it.
// Sends no request and no credentials.
RouteLook look_at_route(const Settings& settings, const FetchResult& fetched, const Deadline& deadline);

// The failure as failure_words tells it, with the proxy named where the
// connection that failed was the proxy's.
std::string failure_on_route(const FetchResult& fetched, const RouteLook& route);

// The proxy in use, if any: "through the proxy 127.0.0.1:3128 from
// http_proxy; ...".
std::vector<CheckLine> route_lines(const RouteLook& route);

// What to try: https on a port that speaks TLS, or around a proxy that
// cannot be reached.
std::vector<CheckLine> route_hints(const FetchResult& fetched, const RouteLook& route);
