#include "check/check_from_shell.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>

#include "check/check_line.h"
#include "check/check_trust.h"
#include "check/data_age_check.h"
#include "check/interval_words.h"
#include "refresh/program.h"
#include "refresh/refresh_record.h"
#include "check/server_value.h"
#include "check/shown_text.h"
#include "common/age_text.h"
#include "common/grouped_number.h"
#include "common/shown_limits.h"
#include "common/text_search.h"
#include "config/config_diagnosis.h"
#include "config/exclude_diagnosis.h"
#include "config/text_file.h"
#include "fetch/certificate.h"
#include "fetch/data_age.h"
#include "fetch/failure_words.h"
#include "fetch/status_fetch.h"
#include "report/line_names.h"
#include "report/page_check.h"
#include "report/report_pass.h"

namespace {

using std::string;
using std::string_view;

string seconds_text(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", seconds);
  return text;
}

string counted(long n, string_view one, string_view many) {
  return std::to_string(n) + " " + string(n == 1 ? one : many);
}

// The report under construction. What the server or libcurl sent passes
// through outside(), which masks the password in every form it hides and
// shows control bytes as ^X; what the user wrote (paths, the URL, other
// values) through written(), which only shows control bytes: a password
// that happens to be a word of a path must not garble it, nor point at
// itself. The user name is the exception: it is not shown at all where it
// holds a password (user_hidden).
struct Lines {
  PasswordMask mask;
  bool user_hidden = false;
  string text;
  bool noted = false;  // a line not taken, or a pitfall: the wall works, but not quite as written
  string first_note;

  void add(string_view key, string_view value) { text.append(key).append(": ").append(value).push_back('\n'); }
  void add(const CheckLine& line) {
    add(line.key, line.value);
    if (line.notes) note(line.value);
  }
  void note(string_view what) {
    if (!noted) first_note = what;
    noted = true;
  }
  string outside(string_view value) const { return shown(value, mask); }
  static string written(string_view value) { return shown(value, {}); }
  // "line N: "TEXT": why", one a line, for the file just named.
  void add_notes(const LineNotes& notes) {
    for (const LineNote& note : notes.notes)
      add("line " + std::to_string(note.line), string("\"").append(written(note.text)).append("\": ").append(written(note.why)));
    if (notes.more > 0) add("more lines like these", std::to_string(notes.more));
    if (!notes.notes.empty()) note("line " + std::to_string(notes.notes.front().line) + " " + written(notes.notes.front().why));
  }
  void add(const std::vector<CheckLine>& more) {
    for (const CheckLine& line : more) add(line);
  }
};

// The last line written for key, taken or not; 0 when none.
std::size_t line_for(const LineNotes& notes, string_view key) {
  std::size_t line = 0;
  for (const auto& [written_for, at] : notes.key_lines)
    if (written_for == key) line = at;
  return line;
}

bool offers(const FetchResult& fetched, string_view scheme) {
  for (const string& offered : fetched.offered_schemes)
    if (equal_ignoring_case(offered, scheme)) return true;
  return false;
}

// What is read as written, yet does not do what it seems to: the server
// value, a carriage return, a user name Basic cannot carry.
void explain_pitfalls(const Settings& settings, const LineNotes& config_notes, Lines& lines) {
  const string_view server = server_text(settings);
  const ServerValue value = read_server_value(server);
  if (server.empty() && line_for(config_notes, "server") != 0)
    lines.add(pitfall("no server value: line " + std::to_string(line_for(config_notes, "server")) +
                      " was not taken (see above), so the URL is only the status path"));
  else if (server.empty())
    lines.add(pitfall("no server line: the URL is only the status path"));
  else if (value.scheme.empty())
    lines.add(pitfall("the server value has no scheme: libcurl takes it for http://; write http:// or https://"));
  else if (!equal_ignoring_case(value.scheme, "http") && !equal_ignoring_case(value.scheme, "https"))
    lines.add(pitfall("the server value's scheme is " + lines.written(value.scheme) + ", not http or https"));
  if (value.has_credentials)
    lines.add(pitfall("the server URL holds credentials (user:password@): orvek does not use them and always sends "
                      "the username and password lines: move them there"));
  if (value.ends_in_slash)
    lines.add(pitfall("the server value ends in '/': the path then holds \"//\", which some servers refuse: drop it"));
  if (value.has_query)
    lines.add(pitfall("the server value holds a query ('?'): the status path then lands inside it: remove it"));
  if (settings.status_url.find('\r') != string::npos || settings.username.find('\r') != string::npos ||
      settings.password.find('\r') != string::npos || carries_carriage_return(settings))
    lines.add(pitfall("a value ends in a carriage return: the file has Windows line ends; convert it with "
                      "sed -i 's/\\r$//'"));
  if (!settings.digest && settings.username.find(':') != string::npos)
    lines.add(pitfall("the user name holds ':', which Basic cannot carry (its user-id ends at the first ':'): "
                      "against Basic the server sees the user " +
                      (lines.user_hidden ? string("name's part before it")
                                         : lines.written(settings.username.substr(0, settings.username.find(':')))) +
                      "; set " + switch_on("digest") + " if the server offers Digest"));
}

// A section's own exclude file: where it is named, its entries, and what
// keeps it from serving as meant, named with its path.
void explain_section_exclude(const SectionSetUp& section, Lines& lines) {
  if (section.exclude_path.empty()) return;
  const string path = lines.written(section.exclude_path), where = section.exclude_where;
  // The cause before the path, which may be long: a first line cut short
  // keeps why.
  if (!section.exclude_unread.empty()) {
    const string why = lines.written(section.exclude_unread);
    lines.add("section exclude file", path + " (" + where + "): " + why);
    lines.note("the section exclude file cannot be read (" + why + "): " + path + ", " + where);
    return;
  }
  lines.add("section exclude file",
            path + " (" + where + "), " + counted(static_cast<long>(section.exclude_entries), "entry", "entries"));
  if (!section.exclude_fault.empty())
    lines.note("the section exclude file's " + lines.written(section.exclude_fault) + ": " + path + ", " + where);
  lines.add_notes(section.excludes);
}

// The set-up as orvek took it: the files, the interval, the URL, the user,
// how the server is asked and trusted, then what in it is a trap.
void explain_settings(const Program& program, string_view config_file, const Credentials& credentials,
                      const SetUpNotes& notes, Lines& lines) {
  const Settings& settings = program.settings;
  lines.add("configuration", lines.written(config_file));
  if (notes.section) lines.add(notes.section->values);
  lines.add_notes(notes.config);
  // The -e file's list lies under a section's own.
  const ExcludeList& everyones = program.excludes->below ? *program.excludes->below : *program.excludes;
  if (program.options.exclude_path)
    lines.add("exclude file", lines.written(program.options.exclude_path) + ", " +
                                  counted(static_cast<long>(everyones.count), "entry", "entries") +
                                  (!notes.exclude_unread.empty() ? " (" + lines.written(notes.exclude_unread) + ")"
                                   : everyones.count == 0 ? string(" (empty, missing or no regular file)")
                                                          : string()));
  else
    lines.add("exclude file", "none");
  if (!notes.exclude_unread.empty()) lines.note("the exclude file cannot be read: " + lines.written(notes.exclude_unread));
  lines.add_notes(notes.excludes);
  if (notes.section) explain_section_exclude(*notes.section, lines);
  const string interval = lines.written(interval_words(program.options.interval_text, program.options.refresh_interval));
  lines.add("interval", interval);
  if (interval_unsound(program.options.refresh_interval)) lines.note("interval " + interval);
  lines.add("URL", lines.written(without_credentials(settings.status_url)));
  lines.add("user name", settings.username.empty() ? "none"
                         : lines.user_hidden       ? "not shown"
                                                   : lines.written(settings.username));
  lines.add("authentication", settings.digest ? "Digest only (" + switch_on("digest") + ")"
                                              : "whichever scheme the server asks for (Basic, Digest and others)");
  const string newcgi_off = "newcgi not " + string(CONFIG_KEYS[key_of("newcgi")].on_word);
  lines.add("service names read from", (settings.newcgi ? "postfield elements (" + switch_on("newcgi") + ")"
                                                        : "table cells (" + newcgi_off + ")") +
                                           "; table rows by their cells either way");

  lines.add(trust_setting_lines(settings, credentials));
  explain_pitfalls(settings, notes.config, lines);
}

void explain_refusal(const Program& program, const FetchResult& fetched, Lines& lines) {
  if (fetched.status == 401) {
    string schemes;
    for (const string& scheme : fetched.offered_schemes) schemes += (schemes.empty() ? "" : ", ") + scheme;
    lines.add("offered by the server", schemes.empty() ? "nothing (no WWW-Authenticate header)" : lines.outside(schemes));
    if (program.settings.digest && !offers(fetched, "Digest"))
      lines.add("hint", switch_on("digest") +
                            " makes orvek answer Digest only, and the server does not offer it: remove the digest line");
    else if (offers(fetched, "Digest") || offers(fetched, "Basic"))
      lines.add("hint", "the server refused the user name or the password");
    else
      lines.add("hint", "orvek answers Basic or Digest, which the server does not offer");
  } else if (fetched.status == 407) {
    lines.add("hint", "a proxy named in the environment (http_proxy, HTTPS_PROXY, ALL_PROXY) asks for its own login");
  } else if (fetched.status >= 300 && fetched.status <= 399) {
    lines.add("redirected to", fetched.location.empty() ? "nowhere (no Location header)" : lines.outside(fetched.location));
    lines.add("hint", "redirects are not followed: put the base of the address it points to into the server line");
  } else if (fetched.status == 404) {
    lines.add("hint", "no status CGI at this path: check the path in the server line");
  }
}

// What exposes the password or the all-clear. Opt-in (-W): a site that wants
// exposure checked gets each warning as a note, and an unverified
// certificate among them.
void explain_exposure(const Program& program, string_view config_file, const ShownCertificate& certificate,
                      Lines& lines) {
  const Settings& settings = program.settings;
  const bool as_notes = program.options.warnings_count;
  std::vector<CheckLine> warnings = exposure_warnings(settings, config_file, certificate);
  if (as_notes && uses_https(settings) && !settings.verify && settings.cafile.empty() && settings.pin.empty())
    warnings.push_back({"warning", "the server's certificate is not verified: anyone on the way to the server can "
                                   "answer in its name; add " + switch_on("verify") + ", a cafile or a pin line"});
  for (CheckLine& warning : warnings) warning.notes = as_notes;
  lines.add(warnings);
}

// The problems as read, before exclusions, one a line: what the page says,
// so that a name read wrongly shows at once.
void list_problems(const Answer& answer, Lines& lines) {
  const std::size_t count = answer.lines.size();
  for (std::size_t i = 0; i < count && i < SHOWN_LINES_LIMIT; ++i) {
    const unsigned tokens = answer.lines[i].tokens;
    const LineNames& names = answer.names[i];
    const string host = names.host_read ? lines.outside(names.host) : "(no host name)";
    string text;
    if (tokens & (TOKEN_DWN | TOKEN_UNR)) {
      text = (tokens & TOKEN_DWN) && (tokens & TOKEN_UNR) ? "DOWN and UNREACHABLE "
             : (tokens & TOKEN_DWN)                         ? "DOWN "
                                                            : "UNREACHABLE ";
      text += host;
    } else {
      text = string(status_word(service_status(tokens))) + " " + host + " / " +
             (names.service_read ? lines.outside(names.service) : "(no service name)");
    }
    if (!names.any()) text += ": unread: no name can be read (\"No match!\")";
    lines.add("problem", text);
  }
  if (count > SHOWN_LINES_LIMIT)
    lines.add("problem", "... and " + std::to_string(count - SHOWN_LINES_LIMIT) + " more");
}

// The check-plugin convention's CRITICAL.
constexpr int PLUGIN_CRITICAL = 2;

// What went unread: the rows that hold a status but could not be read, and
// the lines that yield no name ("No match!").
struct UnreadCount {
  long rows = 0, lines = 0;
  bool host = false;  // one of them may be a DOWN or UNREACHABLE host
  long all() const { return rows + lines; }
};

// Each unread row, where it stands and as it came, the password masked and
// control bytes made visible.
UnreadCount list_unread(const Answer& answer, Lines& lines) {
  UnreadCount unread;
  for (const UnreadRow& row : answer.unread) {
    unread.host = unread.host || (row.tokens & (TOKEN_DWN | TOKEN_UNR));
    if (static_cast<std::size_t>(unread.rows++) < SHOWN_LINES_LIMIT)
      lines.add("unread row at byte " + std::to_string(row.at) + " (counted from 0)",
                shown_line_start(lines.outside(row.text), SHOWN_ROW_LIMIT));
  }
  if (answer.unread.size() > SHOWN_LINES_LIMIT)
    lines.add("unread row", "... and " + std::to_string(answer.unread.size() - SHOWN_LINES_LIMIT) + " more");
  for (std::size_t i = 0; i < answer.names.size(); ++i) {
    if (answer.names[i].any()) continue;
    ++unread.lines;
    unread.host = unread.host || (answer.lines[i].tokens & (TOKEN_DWN | TOKEN_UNR));
  }
  if (unread.all() > 0)
    lines.add("unread", counted(unread.rows, "row", "rows") + " that could not be read, " +
                            counted(unread.lines, "line", "lines") + " that yield no name" +
                            (unread.host ? "; a DOWN or UNREACHABLE host among them" : ""));
  return unread;
}

// What the report holds.
void explain_report(const Report& report, Lines& lines) {
  long down = 0, unreachable = 0, hosts = 0, warning = 0, critical = 0, unknown = 0;
  for (const ReportItem& item : report.items) {
    switch (item.kind) {
      case ReportItemKind::DOWN_HOST: ++down; break;
      case ReportItemKind::UNREACHABLE_HOST: ++unreachable; break;
      case ReportItemKind::HOST: ++hosts; break;
      case ReportItemKind::SERVICE:
        if (item.status == ServiceStatus::WARNING) ++warning;
        else if (item.status == ServiceStatus::CRITICAL) ++critical;
        else ++unknown;
        break;
    }
  }
  lines.add("DOWN hosts", std::to_string(down));
  lines.add("UNREACHABLE hosts", std::to_string(unreachable));
  lines.add("hosts with service problems", std::to_string(hosts));
  lines.add("service problems", std::to_string(critical) + " CRITICAL, " + std::to_string(warning) + " WARNING, " +
                                    std::to_string(unknown) + " UNKNOWN");
  lines.add("hidden by the exclude file",
            counted(report.excluded_hosts, "DOWN or UNREACHABLE host", "DOWN or UNREACHABLE hosts") + ", " +
                counted(report.excluded_services, "service problem", "service problems"));
  lines.add("lines that yield no name (\"No match!\")", std::to_string(report.unmatched));
  lines.add("service problems shown without a name", std::to_string(report.unread_services));
}

// The keys that ask the JSON status for the problems' details, as written.
string detail_keys(const Settings& settings) {
  string keys;
  const auto add = [&keys](bool on, string_view line) {
    if (on) keys.append(keys.empty() ? "" : ", ").append(line);
  };
  add(settings.ages, switch_on("ages"));
  add(settings.output, switch_on("output"));
  add(settings.soft_hide, switch_on("soft"));
  add(!settings.hostgroup.empty(), "hostgroup " + settings.hostgroup);
  add(!settings.servicegroup.empty(), "servicegroup " + settings.servicegroup);
  return keys;
}

// One JSON answer: the URL asked, and why it gave nothing when it did not.
// A CGI that is missing or refuses the user is named with the fix.
void explain_json_list(const Settings& settings, const JsonList& list, Lines& lines) {
  lines.add("JSON status", lines.written(list.url));
  if (list.ok()) return;
  const string_view own = "JSON status: ";
  lines.add("JSON status", lines.outside(string_view(list.problem).starts_with(own) ? list.problem.substr(own.size())
                                                                                     : list.problem));
  const int status = list.fetched.status;
  const string keys = detail_keys(settings);
  if (status == 404)
    lines.add("hint", keys + " needs the server's JSON status CGI (statusjson.cgi), which this server does not have; "
                             "without it every age shows \"?\": install it, or remove the line");
  else if (status == 401 || status == 403)
    lines.add("hint", keys + " needs the server's JSON status CGI, which refuses this user: let the user read it "
                             "(its CGI configuration), or remove the line");
  lines.note("JSON status: " + lines.outside(list.problem));
}

// What the JSON status added to each problem of the list: its age, a SOFT
// problem's attempt, its output; and the problems it could not match.
void explain_details(const Program& program, const RefreshRecord& record, Lines& lines) {
  if (!record.details) return;
  const Settings& settings = program.settings;
  explain_json_list(settings, record.details->hosts, lines);
  explain_json_list(settings, record.details->services, lines);
  if (record.details->members) explain_json_list(settings, *record.details->members, lines);
  if (!settings.hostgroup.empty()) lines.add("hostgroup", lines.written(settings.hostgroup));
  if (!settings.servicegroup.empty()) lines.add("servicegroup", lines.written(settings.servicegroup));
  if (settings.grouped() && record.details->ok()) {
    long hosts = 0, services = 0;
    hosts = static_cast<long>(record.details->hosts.entries.size());
    for (const JsonProblem& entry : record.details->services.entries) services += entry.service.empty() ? 0 : 1;
    string size = counted(hosts, "problem host", "problem hosts") + " and " +
                  counted(services, "problem service", "problem services") + " in the group's answers";
    if (record.details->members)
      size += ", " + counted(static_cast<long>(record.details->members->entries.size()), "service", "services") +
              " in the service group";
    lines.add("group size", size);
  }
  if (settings.grouped() && !record.details->ok())
    lines.add("group", "the JSON status gave no answer for the group: the wall shows the banner, never the whole list");
  long hidden = 0;
  for (const DetailedProblem& problem : record.detailed) {
    if (problem.outside_group) {
      lines.add("outside the group", lines.outside(problem.name) + " (" + problem.why + ")");
      continue;
    }
    if (problem.maybe_in_group)
      lines.add("maybe in the group", lines.outside(problem.name) + " (an entry written (null) may be it: drawn)");
    if (!problem.matched) {
      lines.add("not matched", lines.outside(problem.name) + " (" + problem.why + ")");
      continue;
    }
    const ItemDetail& detail = problem.detail;
    string told;
    if (problem.soft)
      told = "SOFT " + std::to_string(detail.attempt) + "/" + std::to_string(detail.max_attempts) + ", ";
    told += detail.age_seconds < 0 ? string("age unknown") : age_text(detail.age_seconds);
    if (!detail.output.empty()) told += ", " + lines.outside(detail.output);
    if (problem.hidden) {
      told += " (hidden: " + switch_on("soft") + ")";
      ++hidden;
    }
    lines.add("problem", lines.outside(problem.name) + ": " + told);
  }
  if (program.settings.soft_hide) lines.add("SOFT problems hidden", std::to_string(hidden));
}

// How to make newcgi true. A newcgi line that is there but was not taken as
// "newcgi true" is named, never asked for again.
string newcgi_mending(const LineNotes& config_notes) {
  const std::size_t line = line_for(config_notes, "newcgi");
  if (line == 0) return "add the line \"" + switch_on("newcgi") + "\"";
  bool noted = false;
  for (const LineNote& note : config_notes.notes) noted = noted || note.line == line;
  return "line " + std::to_string(line) + " must read \"" + switch_on("newcgi") + "\"" +
         (noted ? string(" and be taken (see above)") : string());
}

// Where names went unread: whether the newcgi setting fits the page, or
// where the names the page holds stand.
void explain_names(const Program& program, const Answer& answer, const LineNotes& config_notes, Lines& lines) {
  long service_lines = 0, read_now = 0, read_other = 0, hosts_unread = 0;
  const std::vector<LineNames> other = read_names(answer.lines, !program.settings.newcgi);
  for (std::size_t i = 0; i < answer.lines.size(); ++i) {
    hosts_unread += !answer.names[i].host_read;
    if (!(answer.lines[i].tokens & SERVICE_TOKENS)) continue;
    ++service_lines;
    read_now += answer.names[i].service_read && !answer.names[i].service.empty();
    read_other += other[i].service_read && !other[i].service.empty();
  }
  // The newcgi hint only where the other setting reads more.
  if (read_other > read_now)
    lines.add("hint", string(program.settings.newcgi ? "the service names stand in table cells, not postfield "
                                                       "elements: remove the newcgi line"
                                                     : "the service names stand in postfield elements: " +
                                                           newcgi_mending(config_notes)) +
                          " (then " + std::to_string(read_other) + " of " +
                          counted(service_lines, "service line", "service lines") + " can be read, now " +
                          std::to_string(read_now) + ")");
  else if (hosts_unread > 0)
    lines.add("hint", counted(hosts_unread, "host name", "host names") +
                          " cannot be read: the page carries them neither in <postfield name='host' value='...'/> "
                          "nor in a table cell");
  else if (read_now < service_lines)
    lines.add("hint", counted(service_lines - read_now, "service name", "service names") +
                          " cannot be read: the page carries them in no service postfield element, table cell or "
                          "name cell that orvek knows");
}

// The performance data: the list's transfer, and the problems drawn.
string performance_data(const FetchResult& fetched, const Report* report) {
  char time[32];
  std::snprintf(time, sizeof time, "time=%.3fs", fetched.seconds);
  string data = string(time) + " size=" + std::to_string(fetched.body_size) + "B";
  if (report) {
    std::size_t problems = 0;
    for (const ReportItem& item : report->items) problems += item.kind != ReportItemKind::HOST;
    data += " problems=" + std::to_string(problems);
  }
  return data;
}

// Every '|' as the broken bar.
string without_bars(string_view text) {
  string result;
  result.reserve(text.size());
  for (const char c : text) {
    if (c == '|')
      result += "\xC2\xA6";
    else
      result.push_back(c);
  }
  return result;
}

string kind_words(PageKind kind, string_view body) {
  switch (kind) {
    case PageKind::PROBLEMS_CARD: return "the status document (the WML card of problems)";
    case PageKind::HTML_RENDITION: return "the plain HTML rendition of the list";
    case PageKind::INDEX_CARD: return "the server's index card (links to its views), not its list of problems";
    case PageKind::OTHER_CARD: {
      const string title = card_title(body);
      return "a WML card" + (title.empty() ? string() : " titled \"" + title + "\"") +
             " without the \"Host Problems:\" and \"Svc Problems:\" tables (a host's card, the process card or "
             "the totals), not the list of problems";
    }
    case PageKind::OTHER: break;
  }
  return "another page (neither the status document nor the plain HTML rendition)";
}

// What the server answered in place of its list, and what to mend. The
// query of the server value tells which of its cards the CGI chose.
string other_card_words(PageKind kind, string_view server, string_view body) {
  const std::size_t query = server.find('?');
  const string_view asked = query == string_view::npos ? string_view() : server.substr(query);
  string got;
  if (kind == PageKind::INDEX_CARD)
    got = "the server's index card";
  else if (contains_ignoring_case(asked, "host="))
    got = "a host's card";
  else if (contains_ignoring_case(asked, "style=processinfo"))
    got = "the server's process card";
  else if (const string title = card_title(body); !title.empty())
    got = "the server's card \"" + title + "\"";
  else
    got = "another card of the server";
  return "no list of problems: " + got +
         (query != string_view::npos ? ": remove the query from the server value"
                                     : ": the status path must lead to statuswml.cgi?style=uprobs");
}

// Whether the server answered the request at all, if only with a refusal.
bool answered(const FetchResult& fetched) { return fetched.ok() || fetched.failure == FetchFailure::HTTP_STATUS; }

// Whether the monitor draws the page as its report, before the data age
// has its say.
bool draws_list(const RefreshRecord& record) {
  return record.transfer.ok() && record.answer.verdict == PageVerdict::STATUS_PAGE;
}

// The report, empty, with what it must hide: the password as sent, and the
// password line's too where a file won over it. A user name that holds
// either, in any form hidden, would give it away: it is not shown, and no
// reason is given, which would.
Lines lines_for(const Program& program, const RefreshRecord& record) {
  Lines lines;
  const string& username = program.settings.username;
  lines.mask = password_mask(username, {record.credentials.password, program.settings.password});
  lines.user_hidden = masked(username, lines.mask) != username;
  return lines;
}

// The answer: its status, size and time, or why none came; what libcurl and
// the route add; why the server refused; and its certificate, which is
// returned for the warnings.
ShownCertificate explain_answer(const Program& program, const FetchResult& fetched, const CertificateLook* second_look,
                                const RouteLook& route, Lines& lines) {
  const string took = seconds_text(fetched.seconds);
  const string size = grouped(fetched.body_size) + (fetched.body_size == 1 ? " byte" : " bytes");
  if (answered(fetched))
    lines.add("answer", (fetched.status ? status_text(fetched.status) + ", " : "no HTTP status, ") + size + " in " + took);
  else
    lines.add("answer", (fetched.status ? status_text(fetched.status) + ", but " : "none: ") +
                            lines.written(failure_on_route(fetched, route)) + " (after " + took + ")");
  if (fetched.failure == FetchFailure::TRANSPORT || fetched.failure == FetchFailure::NO_HANDLE)
    lines.add("libcurl says", lines.outside(fetched.error.empty() ? "nothing" : fetched.error));
  lines.add(route_hints(fetched, route));
  if (fetched.failure == FetchFailure::HTTP_STATUS) explain_refusal(program, fetched, lines);
  const ShownCertificate certificate = shown_certificate(program.settings, fetched, second_look);
  if (certificate.asked) lines.add(certificate_lines(program.settings, fetched, certificate, lines.mask));
  return certificate;
}

// What the reading made of a page that arrived, as the "page" line says it.
string page_words(const Program& program, const Answer& answer, const Lines& lines) {
  const string_view body = received_body(program.body);
  switch (answer.verdict) {
    case PageVerdict::STATUS_PAGE: return "the server's list of problems";
    case PageVerdict::NO_CARD:
      return "no list of problems: no problem line, and no complete status document (the WML card with its "
             "\"Host Problems:\" and \"Svc Problems:\" tables outside comments, or the HTML rendition's two tables "
             "and its end)";
    case PageVerdict::ZERO_BYTE:
      return "no status page: a zero byte at offset " + std::to_string(body.find('\0')) +
             " (counted from 0) of the body";
    case PageVerdict::OTHER_CARD:
      return lines.outside(
          other_card_words(answer.kind.value_or(PageKind::OTHER), server_text(program.settings), body));
    case PageVerdict::NOT_WHOLE:
      return "not read whole: nothing to show, yet " +
             (answer.unread_status_cell
                  ? string("a table cell outside the rows holds a status token that gave no problem")
                  : counted(answer.unmatched, "problem yields", "problems yield") + " no host name") +
             ": a calm screen would say more than the page";
    case PageVerdict::CUT_SHORT: return "cut short: a WML document without its </wml>";
    case PageVerdict::NO_NAMES:
      return "no list of problems: " + counted(static_cast<long>(answer.lines.size()), "line carries", "lines carry") +
             " a status token, but not one of them yields a host or service name";
  }
  return {};
}

// The page that arrived: its kind, what the reading made of it, the
// problems as read and what went unread.
UnreadCount explain_page(const Program& program, const Answer& answer, Lines& lines) {
  const PageKind kind = answer.kind.value_or(PageKind::OTHER);
  lines.add("kind of page", lines.outside(kind_words(kind, received_body(program.body))));
  lines.add("page", page_words(program, answer, lines));
  list_problems(answer, lines);
  return list_unread(answer, lines);
}

// The page's own words where it is no list. The text of a login or
// redirect answer says nothing the lines above do not.
void explain_page_text(const Program& program, const RefreshRecord& record, Lines& lines) {
  const FetchResult& fetched = record.transfer;
  const bool says_more = fetched.status != 401 && fetched.status != 407 && !(fetched.status >= 300 && fetched.status <= 399);
  if (!answered(fetched) || !says_more || draws_list(record)) return;
  const string excerpt = page_excerpt(received_body(program.body), lines.mask);
  lines.add("page text", !excerpt.empty()        ? "\"" + excerpt + "\""
                         : fetched.body_size == 0 ? "none (an empty body)"
                                                  : "none (markup only)");
}

// What the JSON status CGI answered (the data age, the hosts this user may
// see, a certificate that failed there), then the exposure warnings, and
// what the count of those hosts, unread, leaves to the list.
DataAgeExplained explain_age_and_warnings(const Program& program, string_view config_file,
                                          const RefreshRecord& record, const ShownCertificate& certificate,
                                          Lines& lines) {
  const bool drawn = draws_list(record);
  const DataAgeExplained age =
      explain_data_age(program.settings, record.data_age ? &*record.data_age : nullptr, drawn, lines.user_hidden);
  // The data age URL and the keys are the user's; the rest is the server's answer.
  for (const CheckLine& line : age.lines)
    lines.add({lines.written(line.key),
               line.key == "data age URL" ? lines.written(line.value) : lines.outside(line.value), line.notes});
  if (record.data_age) {
    const std::vector<CheckLine> impostor = json_certificate_lines(program.settings, record.data_age->fetched, lines.mask);
    lines.add(impostor);
    // The wall without maxage never asks there; still, someone answers in the server's place.
    if (!impostor.empty())
      lines.note("the JSON status CGI's connection failed its certificate check: someone else may be answering");
  }
  explain_exposure(program, config_file, certificate, lines);
  if (drawn && program.settings.max_age && !age.hosts_unread.empty()) {
    lines.add("hint", "with a maxage line a user who may see no host gets the banner; here the count could not be "
                      "read, so the wall shows its list");
    lines.note(lines.outside(age.hosts_unread));
  }
  return age;
}

// What the check concludes: its exit status, the words of its verdict line,
// the summary of its first line, and its cause in a few words.
struct Verdict {
  int status = CHECK_UNFINISHED;
  string words;
  string summary;
  string cause;
};

// The words for a banner shown in place of the report; by default the
// banner of a wall that has no list to show.
string banner_sentence(string_view banner = NO_CONNECTION_TEXT) {
  return "the monitor would show the banner \"" + string(banner) + "\"";
}

// A banner's words without the blanks that pad it on the screen.
string banner_words(string_view banner) {
  const std::size_t start = banner.find_first_not_of(' ');
  if (start == string_view::npos) return {};
  return string(banner.substr(start, banner.find_last_not_of(' ') + 1 - start));
}

// The verdict where the monitor draws the page: whole or not, meaning
// something or not, with or without a note.
Verdict drawn_verdict(const Report& report, const UnreadCount& unread, const DataAgeExplained& age,
                      const Lines& lines) {
  if (unread.all() > 0) {
    // Drawn, but not whole: the wall shows the count, and red where a DOWN
    // or UNREACHABLE host may be among what it could not read.
    const string what = std::to_string(unread.all()) + " unread";
    return {unread.host ? PLUGIN_CRITICAL : CHECK_NOTED,
            string(unread.host ? "CRITICAL" : "WARNING") + ": the monitor would draw what it read, with \" " + what +
                " \" at the end of its last row" + (report.alarm ? ", on a red screen" : ""),
            what + ": the monitor draws what it read, and not all of the list" +
                (unread.host ? " (a DOWN or UNREACHABLE host among it)" : ""),
            what + (unread.host ? " (a DOWN or UNREACHABLE host among it)" : "")};
  }
  if (!age.meaningless.empty())
    return {CHECK_NOTED, "WARNING: " + lines.outside(age.meaningless),
            "the monitor draws the report, but the server shows this user no hosts",
            "the server shows this user no hosts"};
  const string draws = "the monitor would draw this page as its report";
  const string screen = report.alarm           ? ", on a red screen (a host is DOWN or UNREACHABLE)"
                        : report.items.empty() ? ", an empty black screen (all clear)"
                                               : "";
  // The verdict's first word is the first line's.
  if (!lines.noted) return {CHECK_OK, "OK: " + draws + screen, draws, {}};
  return {CHECK_NOTED, "WARNING: " + draws + screen + ", but " + lines.first_note,
          "the monitor draws the report, but " + lines.first_note, lines.first_note};
}

// The verdict on what was found: the report drawn, a banner in its place,
// or no transfer at all.
Verdict judge(const RefreshRecord& record, const UnreadCount& unread, const DataAgeExplained& age,
              const RouteLook& route, const Lines& lines) {
  const FetchResult& fetched = record.transfer;
  if (fetched.failure == FetchFailure::NO_HANDLE)
    return {CHECK_UNFINISHED, "FAIL: " + banner_sentence(),
            "the check could not finish: libcurl could not start a transfer", "libcurl could not start a transfer"};
  if (!record.outcome.banner) return drawn_verdict(record.outcome.report, unread, age, lines);
  // A group's screen without its group's answer, or of a user who may see
  // no host: the banner, for the reason the refresh gave.
  if (draws_list(record) && record.details && !record.outcome.reason.empty()) {
    const string banner = record.outcome.banner_text.empty() ? string(NO_CONNECTION_TEXT) : record.outcome.banner_text;
    return {CHECK_BANNER, "FAIL: " + banner_sentence(banner) + ": " + lines.outside(record.outcome.reason),
            banner_sentence(banner) + ": " + lines.outside(record.outcome.reason), lines.outside(record.outcome.reason)};
  }
  if (draws_list(record) && age.banner)
    return {CHECK_BANNER, "FAIL: " + banner_sentence(*age.banner) + ": " + lines.outside(age.why),
            banner_sentence(*age.banner), banner_words(*age.banner)};
  const string why = answered(fetched) ? fetched.ok() ? string("the page is no list of problems")
                                                      : status_text(fetched.status)
                                       : lines.written(failure_on_route(fetched, route));
  return {CHECK_BANNER, "FAIL: " + banner_sentence(), banner_sentence() + ": " + why, why};
}

}  // namespace

string plugin_line(int status, string_view summary) {
  static constexpr string_view WORDS[] = {"OK", "WARNING", "CRITICAL", "UNKNOWN"};
  return "ORVEK " + string(WORDS[status]) + " - " + string(summary) + "\n";
}

CheckReport explain_refresh(const Program& program, string_view config_file, const RefreshRecord& record,
                            const CertificateLook* second_look, const SetUpNotes& notes, const RouteLook& route) {
  const FetchResult& fetched = record.transfer;
  const Report& report = record.outcome.report;
  const bool drawn = draws_list(record);
  Lines lines = lines_for(program, record);
  explain_settings(program, config_file, record.credentials, notes, lines);
  lines.add(route_lines(route));
  const ShownCertificate certificate = explain_answer(program, fetched, second_look, route, lines);
  const UnreadCount unread = fetched.ok() ? explain_page(program, record.answer, lines) : UnreadCount{};
  explain_page_text(program, record, lines);
  if (drawn) {
    explain_report(report, lines);
    explain_names(program, record.answer, notes.config, lines);
  }
  explain_details(program, record, lines);
  const DataAgeExplained age = explain_age_and_warnings(program, config_file, record, certificate, lines);

  const Verdict verdict = judge(record, unread, age, route, lines);
  lines.add("verdict", verdict.words);
  CheckReport result;
  result.status = verdict.status;
  result.text = plugin_line(verdict.status, verdict.summary) + lines.text;
  result.cause = verdict.cause;
  if (verdict.status != CHECK_UNFINISHED) result.perfdata = performance_data(fetched, drawn ? &report : nullptr);
  return result;
}

string check_output(const CheckReport& report) {
  const std::size_t first_end = std::min(report.text.find('\n'), report.text.size());
  string first = without_bars(string_view(report.text).substr(0, first_end));
  const string tail = report.perfdata.empty() ? string() : " | " + report.perfdata;
  // Cut where no UTF-8 sequence is split; the performance data stays whole.
  static constexpr string_view CUT = "...";
  if (first.size() + tail.size() > FIRST_LINE_LIMIT) {
    std::size_t keep = FIRST_LINE_LIMIT > tail.size() + CUT.size() ? FIRST_LINE_LIMIT - tail.size() - CUT.size() : 0;
    while (keep > 0 && (static_cast<unsigned char>(first[keep]) & 0xC0) == 0x80) --keep;
    first.resize(keep);
    first += CUT;
  }
  string output = first + tail + "\n";
  if (first_end < report.text.size()) output += without_bars(string_view(report.text).substr(first_end + 1));
  if (!report.more_perfdata.empty()) output += "| " + report.more_perfdata + "\n";
  return output;
}

int write_check(const CheckReport& report) {
  const string output = check_output(report);
  // A check whose words are lost is no check: a full disk or a closed pipe
  // ends it UNKNOWN, for whoever reads the status.
  if (std::fwrite(output.data(), 1, output.size(), stdout) != output.size() || std::fflush(stdout) != 0 ||
      std::ferror(stdout)) {
    std::fprintf(stderr, "orvek: standard output cannot be written: %s\n", std::strerror(errno));
    return CHECK_UNFINISHED;
  }
  return report.status;
}

CheckReport unfinished_check(string_view why, const std::vector<string>& details) {
  CheckReport report;
  report.status = CHECK_UNFINISHED;
  report.text = plugin_line(CHECK_UNFINISHED, Lines::written(why));
  report.cause = Lines::written(why);
  for (const string& detail : details) report.text += Lines::written(detail) + "\n";
  return report;
}

SetUpNotes read_set_up_notes(const Options& options, LineNotes config_notes) {
  SetUpNotes notes;
  notes.config = std::move(config_notes);
  if (options.exclude_path) {
    if (const auto text = read_text_file(options.exclude_path, EXCLUDE_READ_LIMIT))
      notes.excludes = diagnose_exclude_file(*text);
    else
      notes.exclude_unread = why_unreadable(options.exclude_path);
  }
  return notes;
}

CheckReport check_server(Program& program, string_view config_file, LineNotes config_notes,
                         const Deadline& deadline) {
  return check_server(program, config_file, read_set_up_notes(program.options, std::move(config_notes)), deadline);
}

CheckReport check_server(Program& program, string_view config_file, SetUpNotes notes, const Deadline& deadline) {
  // The JSON CGI is asked once whenever the list arrived: for the data's age
  // (maxage) and, in any case, for the hosts this user may see.
  const RefreshRecord record = refresh(
      {.settings = program.settings, .excludes = *program.excludes, .body = program.body, .explain = true, .deadline = &deadline});
  // A second handshake, unchecked and without a request, only where the
  // transfer failed before any certificate came, and time is left for it.
  std::optional<CertificateLook> look;
  if (needs_second_look(program.settings, record.transfer) && ms_left(deadline) > 0)
    look = look_at_certificate(program.settings.status_url, ms_left(deadline));
  const RouteLook route = look_at_route(program.settings, record.transfer, deadline);
  return explain_refresh(program, config_file, record, look ? &*look : nullptr, notes, route);
}

int check_from_shell(Program& program, string_view config_file, const ConfigText& config_text) {
  // One deadline for every transfer: a monitoring server kills a check that
  // outlasts its own timeout, and every word of it is lost.
  const Deadline deadline = deadline_in(program.options.check_deadline);
  return write_check(
      check_server(program, config_file, diagnose_config(config_text.text, config_text.reading), deadline));
}
