#include "report/cgi_row.h"

#include <algorithm>
#include <vector>

#include "report/prefix_hashes.h"
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

// Kept inline (as candidate_at): every row of a page passes through here.
[[gnu::always_inline]] inline bool fixed_at(string_view row, std::size_t at, string_view text) {
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
[[gnu::always_inline]] inline bool candidate_at(string_view row, std::size_t core, unsigned status, Candidate& c) {
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

namespace {

// The first place a core may stand: after a title of one byte or more.
constexpr std::size_t FIRST_CORE = CGI_ROW_START.size() + 1 + TOKEN_PLACE;

// Takes the candidates whose names agree: each gives a name of another
// length or another status, so every one that fits is a reading of its own,
// and a second ends the search.
template <class Agree>
void take_readings(string_view row, const std::vector<Candidate>& candidates, Agree agree, CgiRowSolution& solution) {
  for (const Candidate& c : candidates) {
    if (solution.readings == 2) return;
    if (!agree(c)) continue;
    if (++solution.readings == 1)
      solution.reading = {c.status, row.substr(c.host, c.host_size), row.substr(c.service, c.service_size)};
    else
      solution.reading = {};
  }
}

}  // namespace

CgiRowSolution solve_cgi_row(string_view row, std::size_t direct_splits) {
  CgiRowSolution solution;
  if (!row.starts_with(CGI_ROW_START) || !row.ends_with(CGI_ROW_END)) return solution;
  std::vector<Candidate> candidates;
  for (std::size_t core = row.find(CGI_ROW_CORE, FIRST_CORE); core != npos; core = row.find(CGI_ROW_CORE, core + 1)) {
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
  if (candidates.size() <= direct_splits) {
    take_readings(row, candidates, [&](const Candidate& c) { return names_agree(c, exact); }, solution);
    return solution;
  }
  const PrefixHashes hashes(row);
  const auto hashed = [&](std::size_t a, std::size_t b, std::size_t size) { return hashes.of(a, size) == hashes.of(b, size); };
  take_readings(row, candidates, [&](const Candidate& c) { return names_agree(c, hashed) && names_agree(c, exact); },
                solution);
  return solution;
}

std::vector<TokenPlace> cgi_token_places(string_view text) {
  std::vector<TokenPlace> places;
  for (std::size_t core = text.find(CGI_ROW_CORE, TOKEN_PLACE); core != npos; core = text.find(CGI_ROW_CORE, core + 1)) {
    if (!fixed_at(text, core - TOKEN_PLACE, TOKEN_OPEN)) continue;
    if (const unsigned status = token_bit(text.substr(core - 3, 3))) places.push_back({core, status});
  }
  return places;
}

CgiRowSolution solve_cgi_row_hashed(string_view text, std::size_t start, std::size_t end,
                                    const std::vector<TokenPlace>& places, LazyHashes& hashes) {
  CgiRowSolution solution;
  const string_view row = text.substr(start, end - start);
  if (!row.starts_with(CGI_ROW_START) || !row.ends_with(CGI_ROW_END)) return solution;
  std::vector<Candidate> candidates;
  const auto first = std::lower_bound(places.begin(), places.end(), start + FIRST_CORE,
                                      [](const TokenPlace& place, std::size_t at) { return place.core < at; });
  for (auto place = first; place != places.end() && place->core + CGI_ROW_CORE.size() <= end; ++place) {
    solution.tokens |= place->status;
    Candidate c;
    if (candidate_at(row, place->core - start, place->status, c)) candidates.push_back(c);
  }
  if (candidates.empty()) return solution;
  const PrefixHashes& all = hashes.get();
  const auto hashed = [&](std::size_t a, std::size_t b, std::size_t size) {
    return all.of(start + a, size) == all.of(start + b, size);
  };
  take_readings(row, candidates, [&](const Candidate& c) { return names_agree(c, hashed); }, solution);
  return solution;
}

bool cgi_row_fits(string_view row, const CgiRowReading& reading) {
  const char* token = reading.status == TOKEN_DWN   ? "DWN"
                      : reading.status == TOKEN_UNR ? "UNR"
                      : reading.status == TOKEN_WRN ? "WRN"
                      : reading.status == TOKEN_CRI ? "CRI"
                      : reading.status == TOKEN_UNK ? "UNK"
                                                    : nullptr;
  if (!token || reading.host.empty()) return false;
  const bool host_row = reading.status & (TOKEN_DWN | TOKEN_UNR);
  if (!host_row && reading.service.empty()) return false;
  const string_view title = host_row ? reading.host : reading.service;
  // The row as the CGI writes it for these names, piece by piece.
  const string_view host_pieces[] = {CGI_ROW_START, title, TOKEN_OPEN, token, CGI_ROW_CORE, reading.host,
                                     TO_CELL, reading.host, CGI_ROW_END};
  const string_view service_pieces[] = {CGI_ROW_START, title, TOKEN_OPEN, token, CGI_ROW_CORE, reading.host,
                                        AFTER_HOST, reading.service, TO_CELL, reading.host, "/", reading.service,
                                        CGI_ROW_END};
  std::size_t at = 0;
  const auto follows = [&](string_view piece) {
    if (!fixed_at(row, at, piece)) return false;
    at += piece.size();
    return true;
  };
  if (host_row)
    return std::all_of(std::begin(host_pieces), std::end(host_pieces), follows) && at == row.size();
  return std::all_of(std::begin(service_pieces), std::end(service_pieces), follows) && at == row.size();
}
