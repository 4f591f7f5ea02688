#include "fetch/status_fetch.h"

#include <cstring>
#include <curl/curl.h>

#include "config/config_file.h"

char receive_buffer[RECEIVE_LIMIT + 1];
std::int32_t received_length = 0;

namespace {

// Every bit of the low 32 set except CURLAUTH_DIGEST_IE (bit 4) and bit 8;
// CURLAUTH_ONLY (bit 31) included. This is deliberately not CURLAUTH_ANY.
constexpr unsigned long BROAD_AUTH_MASK = 0xFFFFFEEFUL;

// libcurl reports status 0 for protocols that have none; anything else must
// be a final 2xx. A 401 after failed authentication, a 404, a 500 or an
// unfollowed redirect would otherwise be drawn as an empty, all-clear report.
bool answer_is_success(long status) { return status == 0 || (status >= 200 && status <= 299); }

// Whether the header section of the last answer was finished by its blank
// line. libcurl takes a status line followed by the end of the connection for
// a complete, empty answer, which would be drawn as an all-clear screen.
struct HeaderWatch {
  bool complete = false;
};

std::size_t on_header_line(char* data, std::size_t size, std::size_t count, void* user) {
  const std::size_t n = size * count;
  auto* watch = static_cast<HeaderWatch*>(user);
  const std::string_view line(data, n);
  if (line.starts_with("HTTP/"))
    watch->complete = false;  // a new answer begins (Digest sends two)
  else if (line == "\r\n" || line == "\n")
    watch->complete = true;
  return n;
}

}  // namespace

void reset_received_body() {
  received_length = 0;
  // Without this a transfer that delivers no body would show the previous
  // frame's text again.
  receive_buffer[0] = '\0';
}

std::size_t on_body_chunk(char* data, std::size_t size, std::size_t count, void*) {
  const std::size_t n = size * count;
  if (n > static_cast<std::size_t>(RECEIVE_LIMIT - received_length)) return 0;
  std::memcpy(receive_buffer + received_length, data, n);
  received_length += static_cast<std::int32_t>(n);
  receive_buffer[received_length] = '\0';
  return n;
}

std::string_view received_text() {
  const void* zero = std::memchr(receive_buffer, 0, static_cast<std::size_t>(received_length));
  const std::size_t length =
      zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - receive_buffer)
           : static_cast<std::size_t>(received_length);
  return {receive_buffer, length};
}

bool fetch_problems(const Settings& settings) {
  CURL* handle = curl_easy_init();
  if (!handle) return false;
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 0L);
  curl_easy_setopt(handle, CURLOPT_VERBOSE, 0L);
  curl_easy_setopt(handle, CURLOPT_URL, settings.status_url.c_str());
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, on_body_chunk);
  curl_easy_setopt(handle, CURLOPT_HTTPAUTH, settings.digest == "yes" ? CURLAUTH_DIGEST : BROAD_AUTH_MASK);
  curl_easy_setopt(handle, CURLOPT_USERPWD, settings.credentials.c_str());
  HeaderWatch headers;
  curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, on_header_line);
  curl_easy_setopt(handle, CURLOPT_HEADERDATA, &headers);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, CONNECT_TIMEOUT_SECONDS);
  curl_easy_setopt(handle, CURLOPT_TIMEOUT, TRANSFER_TIMEOUT_SECONDS);
  // Offer every coding libcurl can decode: a server set to compress then
  // sends a mass outage's page about 25 times smaller. The body arrives
  // decoded, so the receive limit still applies to the page itself.
  curl_easy_setopt(handle, CURLOPT_ACCEPT_ENCODING, "");
  const CURLcode result = curl_easy_perform(handle);
  long status = 0;
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_cleanup(handle);
  // Status 0: a protocol without statuses or header sections.
  return result == CURLE_OK && answer_is_success(status) && (status == 0 || headers.complete);
}
