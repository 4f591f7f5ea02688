#pragma once
// What orvek -t says of the channel: how far the server's certificate is
// trusted and what it is, where the password comes from, and what lets the
// password or the all-clear fall into other hands.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/check_line.h"
#include "check/password_mask.h"
#include "fetch/certificate.h"

struct Credentials;
struct Settings;
struct FetchResult;

// Whether a trust or password-file value ends in a carriage return (a file
// with Windows line ends).
bool carries_carriage_return(const Settings& settings);

// Whether the server value names https (the scheme compared without case).
bool uses_https(const Settings& settings);

// Whether the transfer failed before any certificate came although it got
// as far as TLS: only then is a second, unchecked handshake worth making.
bool needs_second_look(const Settings& settings, const FetchResult& fetched);

// The certificate the check shows: the one the transfer's connection was
// given and checked, or, where none came, a second look's, unchecked.
struct ShownCertificate {
  bool asked = false;  // the server is https and there is something to say
  bool checked = true;  // from the transfer's own connection
  std::optional<CertificateFacts> facts;
  std::string error;  // why there are no facts
};
ShownCertificate shown_certificate(const Settings& settings, const FetchResult& fetched,
                                   const CertificateLook* second_look);

// The trust and password settings, with the password file as the refresh
// read it.
std::vector<CheckLine> trust_setting_lines(const Settings& settings, const Credentials& credentials);

// The certificate, and whether and how the transfer checked it. mask: the
// password, hidden in the certificate's own texts, which the server sent.
std::vector<CheckLine> certificate_lines(const Settings& settings, const FetchResult& fetched,
                                         const ShownCertificate& certificate, const PasswordMask& mask);

// Where the JSON status CGI's transfer (data age, visible hosts) failed a
// certificate check although the list's got through: someone else answered
// that connection. Its certificate, from that connection, as for the list
// ("JSON certificate subject", ...), and what to make of it; nothing when no
// check failed there.
std::vector<CheckLine> json_certificate_lines(const Settings& settings, const FetchResult& json,
                                              const PasswordMask& mask);

// Warnings about the exposure of the password and an expiring certificate.
std::vector<CheckLine> exposure_warnings(const Settings& settings, std::string_view config_file,
                                         const ShownCertificate& certificate);
