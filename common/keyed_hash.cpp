#include "common/keyed_hash.h"

#include <sodium.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/text_search.h"

namespace {

using Key = std::array<unsigned char, crypto_shorthash_KEYBYTES>;

// Drawn from the system's random source the first time a hash is asked for,
// at the first page read, and kept for the process's life.
Key draw_key() {
  // sodium_init fails only when the library cannot start its random source
  // at all; a fixed key would quietly give the protection up.
  if (sodium_init() < 0) std::abort();
  Key key;
  randombytes_buf(key.data(), key.size());
  return key;
}

const Key& hash_key() {
  static const Key key = draw_key();
  return key;
}

}  // namespace

std::uint64_t keyed_hash(std::string_view text) {
  unsigned char out[crypto_shorthash_BYTES];
  crypto_shorthash(out, reinterpret_cast<const unsigned char*>(text.data()), text.size(), hash_key().data());
  std::uint64_t hash;
  std::memcpy(&hash, out, sizeof hash);
  return hash;
}

std::uint64_t keyed_folded_hash(std::string_view text) {
  // Host names are short: folded on the stack; a long one in a buffer kept
  // for the next.
  char small[64];
  thread_local std::string large;
  char* folded = small;
  if (text.size() > sizeof small) {
    large.resize(text.size());
    folded = large.data();
  }
  for (std::size_t i = 0; i < text.size(); ++i) folded[i] = static_cast<char>(fold_ascii(text[i]));
  return keyed_hash(std::string_view(folded, text.size()));
}
