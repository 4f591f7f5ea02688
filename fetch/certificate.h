#pragma once
// What a server's certificate says of itself, as a check from the shell
// shows it, read by OpenSSL's libcrypto from the certificate the transfer
// kept.
#include <optional>
#include <string>
#include <string_view>

#include "fetch/status_fetch.h"

struct CertificateFacts {
  std::string subject;    // "CN = monitor.example.org"
  std::string alt_names;  // subject alternative names, e.g. "IP Address:127.0.0.1, DNS:mon"
  std::string issuer;
  std::string not_before;  // "Mar  1 09:00:00 2026 GMT"
  std::string not_after;
  bool not_yet_valid = false;
  bool expired = false;
  long days_left = 0;        // whole days until not_after; negative once past
  bool self_signed = false;  // issued by itself, and its signature holds
  std::string pin;           // "sha256//" and the base64 of the SHA-256 of its SubjectPublicKeyInfo
};

// The facts of a certificate in DER; nothing when none can be read from it.
std::optional<CertificateFacts> read_certificate(std::string_view der);

// A second handshake, made only where the transfer failed before any
// certificate came: what it got, unchecked.
struct CertificateLook {
  PeerCertificate certificate;  // empty when the handshake did not come about
  std::string error;            // libcurl's words then
};

// Makes a TLS handshake with the host of url without checking anything and
// without sending a request. Bounded like a fetch's connection, or by
// bound_ms where that is shorter (a check's deadline).
CertificateLook look_at_certificate(const std::string& url, long bound_ms = CONNECT_TIMEOUT_SECONDS * 1000);

// How long the check from the shell waits for a TLS server's hello on a
// port it spoke plain HTTP to.
inline constexpr long TLS_PROBE_SECONDS = 3;

// Whether a TLS server answers a handshake on the host and port of the
// http:// URL url (the port it names, or 80): a hello that came back with
// the server's certificate. Connects directly, checks nothing and
// sends no request and no credentials; bounded by TLS_PROBE_SECONDS, or by
// bound_ms where that is shorter.
bool tls_answers(const std::string& url, long bound_ms = TLS_PROBE_SECONDS * 1000);
