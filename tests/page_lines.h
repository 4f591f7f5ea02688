#pragma once
// Problem lines in the status page's forms, for tests.
#include <string>

inline std::string host_line(const std::string& host, const std::string& token) {
  return "<postfield name='host' value='" + host + "'/> " + token + "\n";
}

inline std::string service_line(const std::string& host, const std::string& service, const std::string& token) {
  return "<postfield name='host' value='" + host + "'/><postfield name='service' value='" + service + "'/> " +
         token + "\n";
}

// The same in the table-cell form: the service name shown is the cell's CLASS value.
inline std::string cell_line(const std::string& host, const std::string& service, const std::string& token) {
  return "<postfield name='host' value='" + host + "'/><postfield name='x' value='1'/>" +
         "<TD ALIGN=LEFT valign=center CLASS='" + service + "'><A HREF='extinfo.cgi?type=2&host=" + host +
         "&service=" + service + "'>" + service + "</A></TD> " + token + "\n";
}

// A problem as the status CGI writes it: one table row, the token in the
// first cell, the names in postfield elements and in the last cell.
inline std::string cgi_row(const std::string& token, const std::string& host, const std::string& service = "") {
  std::string row = "<tr><td><anchor title='" + (service.empty() ? host : service) + "'>" + token +
                    "<go href='statuswml.cgi' method='post'><postfield name='host' value='" + host + "'/>";
  if (!service.empty()) row += "<postfield name='service' value='" + service + "'/>";
  row += "</go></anchor></td><td>" + host + (service.empty() ? "" : "/" + service) + "</td></tr>\n";
  return row;
}

// The same problem in the plain HTML rendition of the list.
inline std::string rendition_row(const std::string& token, const std::string& host, const std::string& service = "") {
  return "<tr><td>" + token + "</td><td>" + host + (service.empty() ? "" : "/" + service) + "</td></tr>\n";
}
