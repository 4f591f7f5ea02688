#pragma once
// Hashes for tables keyed by text the server (or anything in between) chose.
// A fixed hash lets a page pick names that all fall on one value, so that
// every lookup compares against every name; here the hash is SipHash-2-4
// (libsodium's crypto_shorthash) under a key drawn at random once per
// process, which the page cannot know and so cannot steer.
#include <cstddef>
#include <cstdint>
#include <string_view>

// The hash of the bytes as they are.
std::uint64_t keyed_hash(std::string_view text);

// The hash of the text with ASCII letters folded to lower case (as
// equal_ignoring_case compares): spellings that differ in case only hash
// alike.
std::uint64_t keyed_folded_hash(std::string_view text);

// keyed_hash for the standard unordered containers of views.
struct KeyedTextHash {
  std::size_t operator()(std::string_view text) const { return static_cast<std::size_t>(keyed_hash(text)); }
};
