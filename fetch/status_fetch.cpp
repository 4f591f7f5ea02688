#include "fetch/status_fetch.h"

#include <algorithm>

#include <cstring>

#include "config/config_file.h"
#include "fetch/server_transfer.h"

ReceiveBuffer make_receive_buffer() {
  return {std::make_unique_for_overwrite<char[]>(RECEIVE_LIMIT), 0, false};
}

void reset_received_body(ReceiveBuffer& buffer) {
  // Without this a transfer that delivers no body would show the previous
  // frame's text again.
  buffer.length = 0;
  buffer.refused = false;
}

std::size_t on_body_chunk(char* data, std::size_t size, std::size_t count, void* user) {
  auto& buffer = *static_cast<ReceiveBuffer*>(user);
  const std::size_t n = size * count;
  if (n > RECEIVE_LIMIT - buffer.length) {
    buffer.refused = true;
    return 0;
  }
  if (n) std::memcpy(buffer.bytes.get() + buffer.length, data, n);
  buffer.length += n;
  return n;
}

std::string_view received_body(const ReceiveBuffer& buffer) { return {buffer.bytes.get(), buffer.length}; }

std::string_view received_text(const ReceiveBuffer& buffer) {
  const std::string_view body = received_body(buffer);
  return body.substr(0, body.find('\0'));
}

Deadline deadline_in(long seconds) { return {std::chrono::steady_clock::now() + std::chrono::seconds(seconds), seconds}; }

long ms_left(const Deadline& deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline.at - std::chrono::steady_clock::now());
  return std::max(0L, static_cast<long>(left.count()));
}

FetchResult fetch_problems(const Settings& settings, const Credentials& credentials, ReceiveBuffer& buffer,
                           StopFlag stop, const Deadline* deadline) {
  reset_received_body(buffer);
  FetchResult result = run_server_transfer(settings, credentials, settings.status_url,
                                           {on_body_chunk, &buffer, &buffer.refused}, stop, deadline);
  result.body_size = buffer.length;
  return result;
}
