#include "report/cgi_row.h"

#include <cstdint>
#include <random>
#include <vector>

#include "report/problem_lines.h"

namespace {

using std::string_view;
constexpr auto npos = string_view::npos;

constexpr string_view TOKEN_OPEN = "'>";                 // ends the title, before the token
constexpr std::size_t TOKEN_PLACE = TOKEN_OPEN.size() + 3;  // "'>" and the token, before the core
constexpr string_view AFTER_HOST = "'/><postfield name='service' value='";  // on a service's row
constexpr string_view TO_CELL = "'/></go></anchor></td><td>";  // after the last value, before the cell

// The fixed bytes of a host row and of a service row, the names left out.
constexpr std::size_t HOST_ROW_FIXED =
    CGI_ROW_START.size() + TOKEN_PLACE + CGI_ROW_CORE.size() + TO_CELL.size() + CGI_ROW_END.size();
constexpr std::size_t SERVICE_ROW_FIXED = CGI_ROW_START.size() + TOKEN_PLACE + CGI_ROW_CORE.size() +
                                          AFTER_HOST.size() + TO_CELL.size() + 1 + CGI_ROW_END.size();

unsigned token_bit(string_view token) {
  if (token == "DWN") return TOKEN_DWN;
  if (token == "UNR") return TOKEN_UNR;
  if (token == "WRN") return TOKEN_WRN;
  if (token == "CRI") return TOKEN_CRI;
  if (token == "UNK") return TOKEN_UNK;
  return 0;
}

bool fixed_at(string_view row, std::size_t at, string_view text) {
  return at <= row.size() && row.size() - at >= text.size() && row.compare(at, text.size(), text) == 0;
}

// One way to read the row: where each name stands. Every place of a name
// holds the same bytes when the reading fits.
struct Candidate {
  unsigned status;
  std::size_t host, host_size, service, service_size;  // the first place of each name
  std::size_t places[4];   // the other places: host, host, service, service (npos: none)
};

// A candidate from a token place before the core at row[core]: its fixed
// text checked, its names not yet. False when the fixed text does not fit.
bool candidate_at(string_view row, std::size_t core, unsigned status, Candidate& c) {
  const std::size_t first = CGI_ROW_START.size();
  const std::size_t first_size = core - TOKEN_PLACE - first;  // the title's name
  const std::size_t host = core + CGI_ROW_CORE.size();
  const std::size_t n = row.size();
  if (status & (TOKEN_DWN | TOKEN_UNR)) {
    // title, value and cell: three places of the host.
    if (n != HOST_ROW_FIXED + 3 * first_size) return false;
    const std::size_t cell = host + first_size + TO_CELL.size();
    if (!fixed_at(row, host + first_size, TO_CELL)) return false;
    c = {status, first, first_size, 0, 0, {host, cell, npos, npos}};
    return true;
  }
  // title (service), host value, service value, cell (host "/" service):
  // the row's length leaves one host length.
  const std::size_t taken = SERVICE_ROW_FIXED + 3 * first_size;
  if (n < taken + 2 || (n - taken) % 2 != 0) return false;
  const std::size_t host_size = (n - taken) / 2;
  const std::size_t service = host + host_size + AFTER_HOST.size();
  const std::size_t cell = service + first_size + TO_CELL.size();
  if (!fixed_at(row, host + host_size, AFTER_HOST) || !fixed_at(row, service + first_size, TO_CELL) ||
      row[cell + host_size] != '/')
    return false;
  c = {status, host, host_size, first, first_size, {cell, npos, service, cell + host_size + 1}};
  return true;
}

// Whether every place of each name holds the same bytes, by equal.
template <class Equal>
bool names_agree(const Candidate& c, Equal equal) {
  for (int k = 0; k < 4; ++k) {
    if (c.places[k] == npos) continue;
    const bool host = k < 2;
    if (!equal(host ? c.host : c.service, c.places[k], host ? c.host_size : c.service_size)) return false;
  }
  return true;
}

// Polynomial hashes of the row's prefixes, modulo 2^61 - 1, to a base drawn
// at random for the row: a row whose names are built to match almost
// everywhere costs one pass, and no text can choose where two hashes meet.
// Every sixteenth prefix is kept, the others worked out from it when asked:
// a row as long as the page then needs an eighth of its size, not eight
// times.
struct PrefixHashes {
  static constexpr std::uint64_t MOD = (std::uint64_t{1} << 61) - 1;
  static constexpr std::size_t STEP = 16;
  string_view text;
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
  explicit PrefixHashes(string_view row) : text(row) {
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

}  // namespace

std::size_t cgi_row_end(string_view body, std::size_t at, std::size_t core_at) {
  if (!fixed_at(body, at, CGI_ROW_START)) return npos;
  std::size_t end = body.find('\n', at);
  if (end == npos) end = body.size();
  if (end > at && body[end - 1] == '\r') --end;
  if (end - at < CGI_ROW_START.size() + CGI_ROW_END.size() || body.compare(end - CGI_ROW_END.size(), CGI_ROW_END.size(), CGI_ROW_END) != 0)
    return npos;
  if (core_at == npos || core_at + CGI_ROW_CORE.size() > end) return npos;
  return end;
}

std::string_view cgi_row_service(string_view row, string_view host) {
  const std::size_t size = (row.size() - SERVICE_ROW_FIXED - 2 * host.size()) / 3;
  return row.substr(row.size() - CGI_ROW_END.size() - size, size);
}

CgiRowSolution solve_cgi_row(string_view row, std::size_t direct_splits) {
  CgiRowSolution solution;
  if (!row.starts_with(CGI_ROW_START) || !row.ends_with(CGI_ROW_END)) return solution;
  std::vector<Candidate> candidates;
  const std::size_t first_core = CGI_ROW_START.size() + 1 + TOKEN_PLACE;  // a title of one byte or more
  for (std::size_t core = row.find(CGI_ROW_CORE, first_core); core != npos; core = row.find(CGI_ROW_CORE, core + 1)) {
    if (!fixed_at(row, core - TOKEN_PLACE, TOKEN_OPEN)) continue;
    const unsigned status = token_bit(row.substr(core - 3, 3));
    if (!status) continue;
    solution.tokens |= status;
    Candidate c;
    if (candidate_at(row, core, status, c)) candidates.push_back(c);
  }
  const auto exact = [&](std::size_t a, std::size_t b, std::size_t size) {
    return row.compare(a, size, row, b, size) == 0;
  };
  const auto take = [&](const Candidate& c) {
    if (++solution.readings == 1)
      solution.reading = {c.status, row.substr(c.host, c.host_size), row.substr(c.service, c.service_size)};
    else
      solution.reading = {};
  };
  // Each candidate gives a name of another length or another status: every
  // one that fits is a reading of its own, and a second ends the search.
  if (candidates.empty()) return solution;
  if (candidates.size() <= direct_splits) {
    for (const Candidate& c : candidates)
      if (solution.readings < 2 && names_agree(c, exact)) take(c);
    return solution;
  }
  const PrefixHashes hashes(row);
  const auto hashed = [&](std::size_t a, std::size_t b, std::size_t size) { return hashes.of(a, size) == hashes.of(b, size); };
  for (const Candidate& c : candidates)
    if (solution.readings < 2 && names_agree(c, hashed) && names_agree(c, exact)) take(c);
  return solution;
}
