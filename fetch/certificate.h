#pragma once
// What a server's certificate says of itself, as a check from the shell
// shows it: read from libcurl's certificate information, the key's pin and
// the dates worked out by OpenSSL's libcrypto.
#include <string>

struct CertificateFacts {
  // As libcurl tells them.
  std::string subject;
  std::string alt_names;  // subject alternative names, e.g. "IP Address:127.0.0.1, DNS:mon"
  std::string issuer;
  std::string not_before;
  std::string not_after;
  // Worked out from the certificate itself.
  bool not_yet_valid = false;
  bool expired = false;
  long days_left = 0;       // whole days until not_after; negative once past
  bool self_signed = false;  // issued by itself, and its signature holds
  std::string pin;           // "sha256//" and the base64 of the SHA-256 of its SubjectPublicKeyInfo
};

// The facts of the first certificate of a PEM text; nothing when none can
// be read from it.
bool read_certificate(const std::string& pem, CertificateFacts& facts);

struct CertificateLook {
  bool seen = false;
  std::string error;  // libcurl's words when the handshake did not come about
  CertificateFacts facts;
};

// Makes a TLS handshake with the host of url without checking anything and
// without sending a request, to see the certificate even where the checked
// fetch refused it. Bounded like a fetch's connection.
CertificateLook look_at_certificate(const std::string& url);
