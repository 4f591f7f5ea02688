#pragma once
// What every request to the monitoring server shares, whichever of its CGIs
// it asks: the same credentials, authentication, TLS options and time
// bounds, so that an answer from one CGI is as trustworthy as from another.
#include <csignal>
#include <curl/curl.h>
#include <string>
#include <string_view>

struct FetchResult;
struct Settings;

// How the fault of a password file that cannot be read begins, so that the
// failure's words can tell it from a trust line's.
inline constexpr std::string_view PASSWORD_FILE_FAULT = "the password file ";

// Sets up handle to fetch url from the server that settings name: the
// certificate checks asked for, authentication with settings.username and
// the password (of the password file when one is named, read now), the
// connect and transfer time bounds, the codings offered, and libcurl's
// words for a failure into error (CURL_ERROR_SIZE bytes). When stop is
// given, the transfer is abandoned within about a second of *stop turning
// non-zero. The caller sets where the body and the headers go. Returns why
// the settings cannot be used (a password file that cannot be read, a
// malformed pin line); the transfer must then not be made.
std::string set_up_server_transfer(CURL* handle, const Settings& settings, const std::string& url, char* error,
                                   const volatile std::sig_atomic_t* stop);

// Runs the transfer set up on handle and releases the handle: the time it
// took, the final status, the system's error number, the TLS check's verdict
// and libcurl's result into result, with libcurl's words for a failure
// (error, or its words for the code) in result.error.
void perform_server_transfer(CURL* handle, const char* error, FetchResult& result);
