#pragma once
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/stop_flag.h"

struct Credentials;
struct Settings;

// The body of one transfer: at most RECEIVE_LIMIT bytes. Allocated once at
// start and reused by every transfer, so receiving allocates nothing.
inline constexpr std::size_t RECEIVE_LIMIT = 3510720;

struct ReceiveBuffer {
  std::unique_ptr<char[]> bytes;  // RECEIVE_LIMIT bytes
  std::size_t length = 0;         // bytes of the current body
  bool refused = false;           // a chunk was refused: the body outgrew RECEIVE_LIMIT
};

ReceiveBuffer make_receive_buffer();

// Empties the body before a transfer.
void reset_received_body(ReceiveBuffer& buffer);

// The libcurl write function (user: the ReceiveBuffer): appends a chunk, or
// takes nothing (which fails the transfer) when the body would outgrow
// RECEIVE_LIMIT.
std::size_t on_body_chunk(char* data, std::size_t size, std::size_t count, void* user);

// Every byte received.
std::string_view received_body(const ReceiveBuffer& buffer);

// The received text, up to its first zero byte: the one place the body is
// cut there.
std::string_view received_text(const ReceiveBuffer& buffer);

// Time bounds of one transfer, so that a silent server cannot freeze the
// screen on a stale frame.
inline constexpr long CONNECT_TIMEOUT_SECONDS = 10;
inline constexpr long TRANSFER_TIMEOUT_SECONDS = 30;

// Why a fetch gave no page.
enum class FetchFailure {
  NONE,               // the page arrived
  NO_HANDLE,          // libcurl could not start a transfer
  TRANSPORT,          // no complete answer: see curl_code and error
  BODY_TOO_LARGE,     // the body outgrew RECEIVE_LIMIT
  HEADER_UNFINISHED,  // the answer ended before its header section did
  HTTP_STATUS,        // the final answer's status was no 2xx
  PASSWORD_FILE,      // no transfer: the password file cannot be read; see error
  UNUSABLE_SETTINGS,  // no transfer: a trust line cannot be used; see error
};

// The server's own certificate as the last TLS handshake of a transfer got
// it, and OpenSSL's verdict on its chain in that handshake. The verdict is
// worked out whether or not the trust lines ask for the chain; whether it
// counts is theirs to say.
struct PeerCertificate {
  std::string der;         // empty when no handshake got as far as a certificate
  long chain_verdict = 0;  // an X509_V_ERR_ number
  bool seen() const { return !der.empty(); }
};

// What one fetch did.
struct FetchResult {
  FetchFailure failure = FetchFailure::NONE;
  int curl_code = 0;       // libcurl's result code
  std::string error;       // libcurl's words for a failed transfer
  long status = 0;         // the final HTTP status; 0 when none came
  std::size_t body_size = 0;
  double seconds = 0;      // the time the transfer took
  long os_error = 0;       // the system's error number when connecting failed
  long tls_verify_result = 0;  // OpenSSL's verdict on the certificate's chain (X509_V_OK is 0)
  // What the final answer says of itself, for a check from the shell:
  std::vector<std::string> offered_schemes;  // a 401's WWW-Authenticate schemes, once each
  std::string location;                      // a 3xx's Location
  // The final answer's header section as far as it came, so that libcurl's
  // limits on it can be told as such.
  bool header_complete = false;
  std::size_t header_bytes = 0;
  std::size_t challenge_headers = 0;  // WWW-Authenticate lines
  PeerCertificate certificate;        // of the connection that carried the answer, or that was refused
  // The time bounds it ran under, in whole seconds as its words quote them:
  // a check from the shell's deadline where that came before the
  // transfer's own bound.
  long connect_bound = CONNECT_TIMEOUT_SECONDS;
  long transfer_bound = TRANSFER_TIMEOUT_SECONDS;
  std::size_t body_bound = RECEIVE_LIMIT;  // the most its body could hold: the list's, or the JSON answer's
  bool connected = false;  // the connection was made (its TLS handshake included)
  bool ok() const { return failure == FetchFailure::NONE; }
};

// A time by which every transfer of a check from the shell has ended, so
// that the monitoring server running it hears its words before it gives up.
struct Deadline {
  std::chrono::steady_clock::time_point at;
  long seconds;  // as given, for the words
};

// A deadline seconds from now.
Deadline deadline_in(long seconds);

// The milliseconds left before deadline, 0 once it has passed.
long ms_left(const Deadline& deadline);

// One transfer of settings.status_url into buffer, with settings.username
// and the refresh's credentials, checking the certificate as the trust
// lines ask. When stop is given, the transfer is abandoned (a TRANSPORT
// failure) within about a second of *stop turning non-zero, so that a
// signal to end is not kept waiting. A deadline shortens the transfer's own
// time bounds to the time left.
FetchResult fetch_problems(const Settings& settings, const Credentials& credentials, ReceiveBuffer& buffer,
                           StopFlag stop = nullptr, const Deadline* deadline = nullptr);

// Adds the schemes of a WWW-Authenticate value ("Digest realm=\"x\",
// qop=\"auth\", Basic realm=\"y\"" holds Digest and Basic) that schemes lacks,
// compared without regard to case; the list stays short whatever the server
// sends.
void add_challenge_schemes(std::string_view value, std::vector<std::string>& schemes);

// libcurl's bounds on an answer's header section: one line (its
// CURL_MAX_HTTP_HEADER) and all lines together.
inline constexpr std::size_t CURL_HEADER_LINE_LIMIT = 100 * 1024;
inline constexpr std::size_t CURL_HEADER_SECTION_LIMIT = 300 * 1024;
