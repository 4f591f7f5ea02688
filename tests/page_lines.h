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
