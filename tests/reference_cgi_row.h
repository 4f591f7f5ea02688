#pragma once
// The reading of a row in the status CGI's form, done the plain way: every
// token and every split into names tried, the row written again from them
// and compared whole. Slow (quadratic), and kept only as the yardstick the
// solver is compared against, in the unit tests and the fuzz target.
#include <string>
#include <string_view>
#include <utility>

#include "report/cgi_row.h"
#include "report/problem_lines.h"

inline const std::pair<const char*, unsigned> REFERENCE_TOKENS[] = {
    {"DWN", TOKEN_DWN}, {"UNR", TOKEN_UNR}, {"WRN", TOKEN_WRN}, {"CRI", TOKEN_CRI}, {"UNK", TOKEN_UNK}};

// The row as the CGI writes it for these names; no service: a host's row.
inline std::string written_cgi_row(std::string_view token, std::string_view host, std::string_view service) {
  // Appended piece by piece: temporaries joined with operator+ trip a false
  // -Wrestrict alarm of g++ 12 at -O2 and above.
  std::string row = "<tr><td><anchor title='";
  row.append(service.empty() ? host : service).append("'>").append(token);
  row.append("<go href='statuswml.cgi' method='post'><postfield name='host' value='").append(host).append("'/>");
  if (!service.empty()) row.append("<postfield name='service' value='").append(service).append("'/>");
  row.append("</go></anchor></td><td>").append(host);
  if (!service.empty()) row.append("/").append(service);
  row.append("</td></tr>");
  return row;
}

inline CgiRowSolution reference_solve_cgi_row(std::string_view row) {
  CgiRowSolution solution;
  const std::size_t start = CGI_ROW_START.size();
  // The tokens that stand where a token may stand: after a title of one
  // byte or more, between "'>" and the core.
  for (std::size_t at = start + 1; at < row.size(); ++at)
    for (const auto& [token, bit] : REFERENCE_TOKENS)
      if (row.substr(at).starts_with(std::string("'>") + token + std::string(CGI_ROW_CORE))) solution.tokens |= bit;
  const auto found = [&](unsigned bit, std::string_view host, std::string_view service) {
    if (++solution.readings == 1)
      solution.reading = {bit, host, service};
    else
      solution.reading = {};
  };
  const std::string_view empty;
  // The length of a service row with names of h and s bytes: its fixed
  // text, twice the host and three times the service.
  const std::size_t fixed = written_cgi_row("CRI", "h", "s").size() - 5;
  for (const auto& [token, bit] : REFERENCE_TOKENS) {
    const bool host_row = bit & (TOKEN_DWN | TOKEN_UNR);
    // The first name stands right after the row's start; the host of a
    // service row right after the core.
    for (std::size_t first = 1; start + first <= row.size(); ++first) {
      const std::string_view title = row.substr(start, first);
      if (host_row) {
        if (written_cgi_row(token, title, empty) == row) found(bit, title, empty);
        continue;
      }
      const std::size_t host_at = start + first + 5 + CGI_ROW_CORE.size();
      for (std::size_t h = 1; host_at + h <= row.size(); ++h) {
        const std::string_view host = row.substr(host_at, h);
        if (fixed + 2 * h + 3 * first != row.size()) continue;
        if (written_cgi_row(token, host, title) == row) found(bit, host, title);
      }
    }
  }
  if (solution.readings > 2) solution.readings = 2;
  return solution;
}
