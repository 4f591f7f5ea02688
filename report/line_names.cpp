#include "report/line_names.h"

#include <optional>

#include "report/cgi_row.h"
#include "report/field_extraction.h"
#include "report/table_row.h"

namespace {

using std::optional;
using std::string_view;

void set_host(LineNames& names, optional<string_view> host, bool whole) {
  if (!host) return;
  names.host = *host;
  names.host_read = true;
  names.whole = whole;
}

void set_service(LineNames& names, optional<string_view> service) {
  if (!service) return;
  names.service = *service;
  names.service_read = true;
}

}  // namespace

LineNames read_line_names(const ProblemLine& line, bool newcgi) {
  LineNames names;
  names.whole = line.form != LineForm::PATTERNS;
  const bool host_line = line.tokens & (TOKEN_DWN | TOKEN_UNR);
  const bool service_line = line.tokens & SERVICE_TOKENS;
  if (line.form == LineForm::CGI_ROW) {
    // Solved from the whole row: both names are there, one byte or more.
    names.whole = true;
    set_host(names, line.name_cell, true);
    if (service_line) set_service(names, cgi_row_service(line.text, line.name_cell));
    return names;
  }
  if (line.form == LineForm::ROW) {
    // newcgi makes no difference: the row says where each name stands.
    const CellNames cell = split_cell_names(line.name_cell);
    const optional<string_view> host_element = postfield_value(line.text, "host");
    optional<string_view> host = host_element;
    if (!host && !cell.host.empty()) host = cell.host;
    // A problem without its host is no problem that can be shown: it counts
    // as a line without names.
    if (!host || host->empty()) return names;
    set_host(names, host, true);
    if (service_line) {
      // The service element follows the host's; a host's value may hold
      // anything but the "'/>" that ends it.
      const string_view after_host =
          host_element ? line.text.substr(static_cast<std::size_t>(host_element->data() - line.text.data()))
                       : line.text;
      optional<string_view> service = postfield_value(after_host, "service");
      if (!service) service = cell.service;
      set_service(names, service);
    }
    return names;
  }
  optional<CellNames> cell;  // the last cell, read only when a pattern finds nothing
  const auto from_cell = [&]() -> const CellNames* {
    if (!cell) {
      // A cell that holds only a status token names nothing.
      const auto text = last_cell_text(line.text);
      cell = text && !cell_status(*text) ? split_cell_names(*text) : CellNames{};
    }
    return cell->host.empty() && !cell->service ? nullptr : &*cell;
  };
  if (const auto host = match_field(line.text, host_line ? HOST_FIELD : HOST_BEFORE_SERVICE, newcgi))
    set_host(names, host, false);
  else if (const CellNames* names_in_cell = from_cell(); names_in_cell && !names_in_cell->host.empty())
    set_host(names, names_in_cell->host, true);
  if (service_line) {
    if (const auto service = match_field(line.text, SERVICE_FIELD, newcgi))
      set_service(names, service);
    else if (const CellNames* names_in_cell = from_cell())
      set_service(names, names_in_cell->service);
  }
  return names;
}

std::vector<LineNames> read_names(const std::vector<ProblemLine>& lines, bool newcgi) {
  std::vector<LineNames> names;
  names.reserve(lines.size());
  for (const ProblemLine& line : lines) names.push_back(read_line_names(line, newcgi));
  return names;
}
