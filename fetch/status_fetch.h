#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

struct Settings;

// The body of one transfer: at most RECEIVE_LIMIT bytes, always followed by a
// terminating zero.
inline constexpr std::int32_t RECEIVE_LIMIT = 3510720;
extern char receive_buffer[RECEIVE_LIMIT + 1];
extern std::int32_t received_length;

// Empties the body before a transfer.
void reset_received_body();

// The libcurl write function: appends a chunk, or takes nothing (which fails
// the transfer) when the body would outgrow RECEIVE_LIMIT.
std::size_t on_body_chunk(char* data, std::size_t size, std::size_t count, void* user);

// The received text, up to its first zero byte.
std::string_view received_text();

// One transfer of settings.status_url into receive_buffer. True when the page
// arrived: the transfer completed, within its time bounds, with a 2xx answer.
bool fetch_problems(const Settings& settings);

// Time bounds of one transfer, so that a silent server cannot freeze the
// screen on a stale frame.
inline constexpr long CONNECT_TIMEOUT_SECONDS = 10;
inline constexpr long TRANSFER_TIMEOUT_SECONDS = 30;
