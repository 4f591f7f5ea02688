#include "check/check_from_shell.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>

#include "check/check_trust.h"
#include "check/data_age_check.h"
#include "check/interval_words.h"
#include "refresh/program.h"
#include "refresh/refresh_record.h"
#include "check/server_value.h"
#include "check/shown_text.h"
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

// 3510720 -> "3,510,720". Built forwards with push_back: inserting into the
// string trips a false -Wrestrict alarm of g++ 12 at -O2.
string grouped(std::size_t number) {
  const string digits = std::to_string(number);
  string text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text.push_back(',');
    text.push_back(digits[i]);
  }
  return text;
}

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

  void add(string_view key, string_view value) {
    text.append(key).append(": ").append(value).push_back('\n');
    if (key == "pitfall") note(value);
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
    for (const CheckLine& line : more) add(line.key, line.value);
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

void explain_settings(const Program& program, string_view config_file, const Credentials& credentials,
                      const SetUpNotes& notes, Lines& lines) {
  const Settings& settings = program.settings;
  lines.add("configuration", lines.written(config_file));
  lines.add_notes(notes.config);
  if (program.options.exclude_path)
    lines.add("exclude file", lines.written(program.options.exclude_path) + ", " +
                                  counted(static_cast<long>(program.excludes.count), "entry", "entries") +
                                  (!notes.exclude_unread.empty() ? " (" + lines.written(notes.exclude_unread) + ")"
                                   : program.excludes.count == 0 ? string(" (empty, missing or no regular file)")
                                                                 : string()));
  else
    lines.add("exclude file", "none");
  if (!notes.exclude_unread.empty()) lines.note("the exclude file cannot be read: " + lines.written(notes.exclude_unread));
  lines.add_notes(notes.excludes);
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

  const string_view server = server_text(settings);
  const ServerValue value = read_server_value(server);
  lines.add(trust_setting_lines(settings, credentials));
  if (server.empty() && line_for(notes.config, "server") != 0)
    lines.add("pitfall", "no server value: line " + std::to_string(line_for(notes.config, "server")) +
                             " was not taken (see above), so the URL is only the status path");
  else if (server.empty())
    lines.add("pitfall", "no server line: the URL is only the status path");
  else if (value.scheme.empty())
    lines.add("pitfall", "the server value has no scheme: libcurl takes it for http://; write http:// or https://");
  else if (!equal_ignoring_case(value.scheme, "http") && !equal_ignoring_case(value.scheme, "https"))
    lines.add("pitfall", "the server value's scheme is " + lines.written(value.scheme) + ", not http or https");
  if (value.has_credentials)
    lines.add("pitfall",
              "the server URL holds credentials (user:password@): orvek does not use them and always sends the "
              "username and password lines: move them there");
  if (value.ends_in_slash)
    lines.add("pitfall", "the server value ends in '/': the path then holds \"//\", which some servers refuse: drop it");
  if (value.has_query)
    lines.add("pitfall", "the server value holds a query ('?'): the status path then lands inside it: remove it");
  if (settings.status_url.find('\r') != string::npos || settings.username.find('\r') != string::npos ||
      settings.password.find('\r') != string::npos || carries_carriage_return(settings))
    lines.add("pitfall", "a value ends in a carriage return: the file has Windows line ends; convert it with "
                         "sed -i 's/\\r$//'");
  if (!settings.digest && settings.username.find(':') != string::npos)
    lines.add("pitfall", "the user name holds ':', which Basic cannot carry (its user-id ends at the first ':'): "
                         "against Basic the server sees the user " +
                             (lines.user_hidden ? string("name's part before it")
                                                : lines.written(settings.username.substr(0, settings.username.find(':')))) +
                             "; set " + switch_on("digest") + " if the server offers Digest");
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

// What the report holds, and whether the newcgi setting fits the page.
void explain_report(const Program& program, const Answer& answer, const Report& report, const SetUpNotes& notes,
                    Lines& lines) {
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

  long service_lines = 0, read_now = 0, read_other = 0, hosts_unread = 0;
  const std::vector<LineNames> other = read_names(answer.lines, !program.settings.newcgi);
  for (std::size_t i = 0; i < answer.lines.size(); ++i) {
    hosts_unread += !answer.names[i].host_read;
    if (!(answer.lines[i].tokens & SERVICE_TOKENS)) continue;
    ++service_lines;
    read_now += answer.names[i].service_read && !answer.names[i].service.empty();
    read_other += other[i].service_read && !other[i].service.empty();
  }
  // A newcgi line that is there but was not taken as "newcgi true" is named,
  // never asked for again.
  const std::size_t newcgi_line = line_for(notes.config, "newcgi");
  bool noted = false;
  for (const LineNote& note : notes.config.notes) noted = noted || note.line == newcgi_line;
  const string add_newcgi = newcgi_line != 0 ? "line " + std::to_string(newcgi_line) + " must read \"" +
                                                   switch_on("newcgi") + "\"" +
                                                   (noted ? string(" and be taken (see above)") : string())
                                             : "add the line \"" + switch_on("newcgi") + "\"";
  // The newcgi hint only where the other setting reads more.
  if (read_other > read_now)
    lines.add("hint", string(program.settings.newcgi ? "the service names stand in table cells, not postfield "
                                                       "elements: remove the newcgi line"
                                                     : "the service names stand in postfield elements: " + add_newcgi) +
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

// The check-plugin convention's first line, "ORVEK OK - summary", without
// its performance data.
string plugin_line(int status, string_view summary) {
  static constexpr string_view WORDS[] = {"OK", "WARNING", "CRITICAL", "UNKNOWN"};
  return "ORVEK " + string(WORDS[status]) + " - " + string(summary) + "\n";
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

}  // namespace

CheckReport explain_refresh(const Program& program, string_view config_file, const RefreshRecord& record,
                            const CertificateLook* second_look, const SetUpNotes& notes, const RouteLook& route) {
  const FetchResult& fetched = record.transfer;
  const Answer& answer = record.answer;
  const Report& report = record.outcome.report;
  Lines lines;
  // The password as sent, and the password line's too where a file won
  // over it. A user name that holds either, in any form hidden, would give
  // it away: it is not shown, and no reason is given, which would.
  const string& username = program.settings.username;
  lines.mask = password_mask(username, {record.credentials.password, program.settings.password});
  lines.user_hidden = masked(username, lines.mask) != username;
  explain_settings(program, config_file, record.credentials, notes, lines);
  lines.add(route_lines(route));

  const string took = seconds_text(fetched.seconds);
  const string size = grouped(fetched.body_size) + (fetched.body_size == 1 ? " byte" : " bytes");
  const bool answered = fetched.ok() || fetched.failure == FetchFailure::HTTP_STATUS;
  if (answered)
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

  UnreadCount unread;
  if (fetched.ok()) {
    const PageKind kind = answer.kind.value_or(PageKind::OTHER);
    lines.add("kind of page", lines.outside(kind_words(kind, received_body(program.body))));
    switch (answer.verdict) {
      case PageVerdict::STATUS_PAGE: lines.add("page", "the server's list of problems"); break;
      case PageVerdict::NO_CARD:
        lines.add("page", "no list of problems: no problem line, and no complete status document (the WML card with its "
                          "\"Host Problems:\" and \"Svc Problems:\" tables outside comments, or the HTML "
                          "rendition's two tables and its end)");
        break;
      case PageVerdict::ZERO_BYTE:
        lines.add("page", "no status page: a zero byte at offset " +
                              std::to_string(received_body(program.body).find('\0')) +
                              " (counted from 0) of the body");
        break;
      case PageVerdict::OTHER_CARD:
        lines.add("page", lines.outside(other_card_words(
                              kind,
                              server_text(program.settings),
                              received_body(program.body))));
        break;
      case PageVerdict::NOT_WHOLE:
        lines.add("page", "not read whole: nothing to show, yet " +
                              (answer.unread_status_cell
                                   ? string("a table cell outside the rows holds a status token that gave no problem")
                                   : counted(answer.unmatched, "problem yields", "problems yield") +
                                         " no host name") +
                              ": a calm screen would say more than the page");
        break;
      case PageVerdict::CUT_SHORT: lines.add("page", "cut short: a WML document without its </wml>"); break;
      case PageVerdict::NO_NAMES:
        lines.add("page", "no list of problems: " +
                              counted(static_cast<long>(answer.lines.size()), "line carries", "lines carry") +
                              " a status token, but not one of them yields a host or service name");
        break;
    }
    list_problems(answer, lines);
    unread = list_unread(answer, lines);
  }
  // The text of a login or redirect answer says nothing the lines above do not.
  const bool says_more = fetched.status != 401 && fetched.status != 407 && !(fetched.status >= 300 && fetched.status <= 399);
  if (answered && says_more && (!fetched.ok() || answer.verdict != PageVerdict::STATUS_PAGE)) {
    const string excerpt = page_excerpt(received_body(program.body), lines.mask);
    lines.add("page text", !excerpt.empty()        ? "\"" + excerpt + "\""
                           : fetched.body_size == 0 ? "none (an empty body)"
                                                    : "none (markup only)");
  }

  const bool drawn = fetched.ok() && answer.verdict == PageVerdict::STATUS_PAGE;
  if (drawn) explain_report(program, answer, report, notes, lines);
  const DataAgeExplained age =
      explain_data_age(program.settings, record.data_age ? &*record.data_age : nullptr, drawn, lines.user_hidden);
  // The data age URL and the keys are the user's; the rest is the server's answer.
  for (const auto& [key, value] : age.lines)
    lines.add(lines.written(key), key == "data age URL" ? lines.written(value) : lines.outside(value));
  if (record.data_age) {
    const std::vector<CheckLine> impostor = json_certificate_lines(program.settings, record.data_age->fetched, lines.mask);
    lines.add(impostor);
    // The wall without maxage never asks there; still, someone answers in the server's place.
    if (!impostor.empty())
      lines.note("the JSON status CGI's connection failed its certificate check: someone else may be answering");
  }
  const std::vector<CheckLine> warnings = exposure_warnings(program.settings, config_file, certificate);
  lines.add(warnings);
  // Opt-in: a site that wants exposure checked gets it as a warning status.
  if (program.options.warnings_count) {
    for (const CheckLine& line : warnings)
      if (line.key == "warning") lines.note(line.value);
    const Settings& settings = program.settings;
    if (uses_https(settings) && !settings.verify && settings.cafile.empty() && settings.pin.empty()) {
      const string unverified = "the server's certificate is not verified: anyone on the way to the server can "
                                "answer in its name; add " + switch_on("verify") + ", a cafile or a pin line";
      lines.add("warning", unverified);
      lines.note(unverified);
    }
  }
  if (drawn && program.settings.max_age && !age.hosts_unread.empty()) {
    lines.add("hint", "with a maxage line a user who may see no host gets the banner; here the count could not be "
                      "read, so the wall shows its list");
    lines.note(lines.outside(age.hosts_unread));
  }

  CheckReport result;
  string verdict;
  string summary;
  if (fetched.failure == FetchFailure::NO_HANDLE) {
    result.status = CHECK_UNFINISHED;
    verdict = "FAIL: the monitor would show the banner \"" + string(NO_CONNECTION_TEXT) + "\"";
    summary = "the check could not finish: libcurl could not start a transfer";
  } else if (!record.outcome.banner && unread.all() > 0) {
    // Drawn, but not whole: the wall shows the count, and red where a DOWN
    // or UNREACHABLE host may be among what it could not read.
    result.status = unread.host ? PLUGIN_CRITICAL : CHECK_NOTED;
    const string what = std::to_string(unread.all()) + " unread";
    verdict = string(unread.host ? "CRITICAL" : "WARNING") + ": the monitor would draw what it read, with \" " +
              what + " \" at the end of its last row" +
              (report.alarm ? ", on a red screen" : "");
    summary = what + ": the monitor draws what it read, and not all of the list" +
              (unread.host ? " (a DOWN or UNREACHABLE host among it)" : "");
  } else if (!record.outcome.banner && !age.meaningless.empty()) {
    result.status = CHECK_NOTED;
    verdict = "WARNING: " + lines.outside(age.meaningless);
    summary = "the monitor draws the report, but the server shows this user no hosts";
  } else if (!record.outcome.banner) {
    result.status = lines.noted ? CHECK_NOTED : CHECK_OK;
    // The verdict's first word is the first line's.
    verdict = string(lines.noted ? "WARNING: " : "OK: ") + "the monitor would draw this page as its report" +
              (report.alarm           ? ", on a red screen (a host is DOWN or UNREACHABLE)"
               : report.items.empty() ? ", an empty black screen (all clear)"
                                      : "") +
              (lines.noted ? ", but " + lines.first_note : string());
    summary = lines.noted ? "the monitor draws the report, but " + lines.first_note
                          : "the monitor would draw this page as its report";
  } else if (drawn && age.banner) {
    result.status = CHECK_BANNER;
    verdict = "FAIL: the monitor would show the banner \"" + *age.banner + "\": " + lines.outside(age.why);
    summary = "the monitor would show the banner \"" + *age.banner + "\"";
  } else {
    result.status = CHECK_BANNER;
    verdict = "FAIL: the monitor would show the banner \"" + string(NO_CONNECTION_TEXT) + "\"";
    summary = "the monitor would show the banner \"" + string(NO_CONNECTION_TEXT) + "\": " +
              (answered ? fetched.ok() ? string("the page is no list of problems") : status_text(fetched.status)
                        : lines.written(failure_on_route(fetched, route)));
  }
  lines.add("verdict", verdict);
  result.text = plugin_line(result.status, summary) + lines.text;
  if (result.status != CHECK_UNFINISHED) result.perfdata = performance_data(fetched, drawn ? &report : nullptr);
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
  for (const string& detail : details) report.text += Lines::written(detail) + "\n";
  return report;
}

SetUpNotes read_set_up_notes(const Program& program, const ConfigText& config_text) {
  SetUpNotes notes;
  notes.config = diagnose_config(config_text.text, config_text.reading);
  if (program.options.exclude_path) {
    if (const auto text = read_text_file(program.options.exclude_path, EXCLUDE_READ_LIMIT))
      notes.excludes = diagnose_exclude_file(*text);
    else
      notes.exclude_unread = why_unreadable(program.options.exclude_path);
  }
  return notes;
}

int check_from_shell(Program& program, string_view config_file, const ConfigText& config_text) {
  // One deadline for every transfer: a monitoring server kills a check that
  // outlasts its own timeout, and every word of it is lost.
  const Deadline deadline = deadline_in(program.options.check_deadline);
  // The JSON CGI is asked once whenever the list arrived: for the data's age
  // (maxage) and, in any case, for the hosts this user may see.
  const RefreshRecord record = refresh(program, nullptr, true, &deadline);
  // A second handshake, unchecked and without a request, only where the
  // transfer failed before any certificate came, and time is left for it.
  std::optional<CertificateLook> look;
  if (needs_second_look(program.settings, record.transfer) && ms_left(deadline) > 0)
    look = look_at_certificate(program.settings.status_url, ms_left(deadline));
  const RouteLook route = look_at_route(program.settings, record.transfer, deadline);
  const CheckReport report = explain_refresh(program, config_file, record, look ? &*look : nullptr,
                                             read_set_up_notes(program, config_text), route);
  return write_check(report);
}
