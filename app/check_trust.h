#pragma once
// What orvek -t says of the channel: how far the server's certificate is
// trusted and what it is, where the password comes from, and what lets the
// password or the all-clear fall into other hands.
#include <string>
#include <string_view>
#include <vector>

struct Settings;
struct FetchResult;
struct CertificateLook;

struct CheckLine {
  std::string key;
  std::string value;
};

// The password a fetch sends: the password file's first line when there is
// a passwordfile line and the file can be read, else the password line.
std::string password_in_use(const Settings& settings);

// Whether a trust or password-file value ends in a carriage return (a file
// with Windows line ends).
bool carries_carriage_return(const Settings& settings);

// Whether the server value names https (the scheme compared without case).
bool uses_https(const Settings& settings);

// Whether a check from the shell should look at the server's certificate
// after this fetch: the server is https and the fetch got as far as a TLS
// handshake.
bool certificate_worth_a_look(const Settings& settings, const FetchResult& fetched);

// The trust and password settings. Values from outside are shown through
// shown() with secrets masked.
std::vector<CheckLine> trust_setting_lines(const Settings& settings, const std::vector<std::string>& secrets);

// The certificate as looked at, and whether and how the fetch checked it.
std::vector<CheckLine> certificate_lines(const Settings& settings, const FetchResult& fetched,
                                         const CertificateLook& look, const std::vector<std::string>& secrets);

// Warnings about the exposure of the password and an expiring certificate.
// look: nothing when the certificate was not looked at.
std::vector<CheckLine> exposure_warnings(const Settings& settings, std::string_view config_file,
                                         const CertificateLook* look, const std::vector<std::string>& secrets);
