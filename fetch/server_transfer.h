#pragma once
// What every request to the monitoring server shares, whichever of its CGIs
// it asks: the same credentials, authentication, TLS options and time
// bounds, so that an answer from one CGI is as trustworthy as from another;
// one run of the transfer, and one reading of how it ended.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "common/stop_flag.h"
#include "config/password_file.h"
#include "fetch/status_fetch.h"

struct Settings;

// The password a refresh sends, read once for all of its transfers: the
// password file's first line when there is a passwordfile line, else the
// password line. A password an operator rotates in the file is taken at the
// next refresh, without a restart.
struct Credentials {
  std::string password;
  std::optional<PasswordFileRead> file;  // the password file as read, when one is named
  // Why no transfer may be made with these: the password file cannot be read.
  std::string fault;
};
Credentials read_credentials(const Settings& settings);

// Where one transfer's body goes: libcurl's write function and its user
// data, and the flag the write function sets when it refused a chunk (the
// body outgrew its bound).
struct BodySink {
  std::size_t (*write)(char* data, std::size_t size, std::size_t count, void* user);
  void* user;
  const bool* refused;
};

// One transfer of url from the server that settings name: the certificate
// checks asked for, authentication with settings.username and
// credentials.password, the connect and transfer time bounds, every coding
// libcurl decodes. When stop is given, the transfer is abandoned within
// about a second of *stop turning non-zero; a deadline shortens its time
// bounds to the time left, and once it has passed no transfer is begun (a
// TRANSPORT failure, as a timeout). Settings that cannot be used (a
// password file that cannot be read, a malformed pin line) make no transfer
// and fail as PASSWORD_FILE or UNUSABLE_SETTINGS.
FetchResult run_server_transfer(const Settings& settings, const Credentials& credentials, const std::string& url,
                                const BodySink& body, StopFlag stop, const Deadline* deadline = nullptr);

// Has every TLS handshake on the libcurl easy handle keep the server's
// certificate and OpenSSL's verdict on its chain into kept, the last
// handshake's winning. kept must outlive the transfer.
void keep_certificate(void* handle, PeerCertificate& kept);
