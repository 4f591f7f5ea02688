#pragma once
// Polynomial hashes of a text's prefixes, modulo 2^61 - 1, to a base drawn
// at random for the text: names built to match almost everywhere cost one
// pass, and no text can choose where two hashes meet. Every sixteenth
// prefix is kept, the others worked out from it when asked: a text as long
// as the page then needs an eighth of its size, not eight times.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <string_view>
#include <vector>

struct PrefixHashes {
  static constexpr std::uint64_t MOD = (std::uint64_t{1} << 61) - 1;
  static constexpr std::size_t STEP = 16;
  std::string_view text;
  std::uint64_t base;
  std::vector<std::uint64_t> kept;  // kept[k]: the hash of the first k * STEP bytes

  static std::uint64_t reduced(std::uint64_t a) { return a >= MOD ? a - MOD : a; }
  static std::uint64_t mul(std::uint64_t a, std::uint64_t b) {
    const unsigned __int128 p = static_cast<unsigned __int128>(a) * b;
    return reduced(static_cast<std::uint64_t>(p & MOD) + static_cast<std::uint64_t>(p >> 61));
  }
  std::uint64_t next(std::uint64_t hash, std::size_t at) const {
    return reduced(mul(hash, base) + static_cast<unsigned char>(text[at]));
  }
  std::uint64_t power(std::size_t e) const {
    std::uint64_t result = 1, b = base;
    for (; e; e >>= 1, b = mul(b, b))
      if (e & 1) result = mul(result, b);
    return result;
  }
  explicit PrefixHashes(std::string_view whole) : text(whole) {
    std::random_device random;
    base = ((std::uint64_t{random()} << 32) ^ random()) % (MOD - 256) + 256;
    kept.reserve(text.size() / STEP + 1);
    std::uint64_t hash = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (i % STEP == 0) kept.push_back(hash);
      hash = next(hash, i);
    }
    if (text.size() % STEP == 0) kept.push_back(hash);
  }
  std::uint64_t prefix(std::size_t size) const {
    std::uint64_t hash = kept[size / STEP];
    for (std::size_t i = size - size % STEP; i < size; ++i) hash = next(hash, i);
    return hash;
  }
  std::uint64_t of(std::size_t at, std::size_t size) const {
    return reduced(prefix(at + size) + MOD - mul(prefix(at), power(size)));
  }
};

// The hashes of a text, made the first time they are asked for: most texts
// never need them.
struct LazyHashes {
  std::string_view text;
  std::optional<PrefixHashes> made;
  const PrefixHashes& get() {
    if (!made) made.emplace(text);
    return *made;
  }
};
