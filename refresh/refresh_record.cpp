#include "refresh/refresh_record.h"

#include <ctime>
#include <memory>
#include <string>
#include <utility>

#include "config/config_file.h"
#include "refresh/banner_reason.h"
#include "report/html_names.h"
#include "report/report_pass.h"

namespace {

Answer read_answer(const ReceiveBuffer& body, bool newcgi, StopFlag stop) {
  Answer answer;
  // The cells outside rows are looked at only where nothing is shown.
  PageLines page = read_page_lines(received_text(body), false);
  answer.lines = std::move(page.lines);
  answer.unread = std::move(page.unread);
  answer.unread_status_cell = page.unread_status_cell;
  if (stop_asked(stop)) return answer;
  answer.names = read_names(answer.lines, newcgi);
  if (stop_asked(stop)) return answer;
  bool has_names = false;
  for (const LineNames& names : answer.names) has_names = has_names || names.any();
  if (answer.lines.empty()) answer.kind = page_kind(received_body(body));
  answer.verdict =
      check_page(received_body(body), !answer.lines.empty(), has_names, answer.kind.value_or(PageKind::OTHER));
  return answer;
}

RefreshRecord read_once(Credentials credentials, FetchResult transfer, const ReceiveBuffer& body,
                        const ExcludeList& excludes, bool newcgi, StopFlag stop) {
  RefreshRecord record{std::move(credentials), std::move(transfer), {}, std::nullopt, {}, std::nullopt, {}};
  if (!record.transfer.ok()) return record;
  Answer& answer = record.answer;
  answer = read_answer(body, newcgi, stop);
  // A reading cut short leaves the outcome a banner: no part of a report is
  // ever shown as if it were the whole.
  if (stop_asked(stop) || answer.verdict != PageVerdict::STATUS_PAGE) return record;
  std::shared_ptr<const std::string> decoded;
  if (is_html_page(received_text(body))) decoded = decode_html_names(answer.names);
  Report report = render_problems(answer.lines, answer.names, excludes, stop);
  if (stop_asked(stop)) return record;
  report.decoded_names = std::move(decoded);
  answer.unmatched = report.unmatched;
  // Rows that could not be read are shown as a count beside what was read,
  // and one that may be a DOWN or UNREACHABLE host turns the screen red.
  report.unread_rows = static_cast<int>(answer.unread.size());
  for (const UnreadRow& row : answer.unread) report.alarm = report.alarm || (row.tokens & (TOKEN_DWN | TOKEN_UNR));
  // A page that would show nothing is calm only when every status cell on
  // it, outside rows too, gave its problem.
  const bool nothing_shown = report.items.empty() && report.unread_rows == 0;
  if (nothing_shown && !answer.unread_status_cell)
    answer.unread_status_cell = read_page_lines(received_text(body), true).unread_status_cell;
  answer.verdict = check_calm(answer.verdict, nothing_shown, report.unmatched, answer.unread_status_cell);
  if (answer.verdict == PageVerdict::STATUS_PAGE) {
    record.outcome.banner = false;
    record.outcome.report = std::move(report);
  }
  return record;
}

// Why the banner is up, when it is, from what the reading recorded.
void give_reason(RefreshRecord& record, const ReceiveBuffer& body) {
  if (!record.outcome.banner) return;
  const Answer& answer = record.answer;
  record.outcome.reason = banner_reason(
      {record.transfer, answer.verdict, received_body(body), nullptr, 0, answer.kind.value_or(PageKind::OTHER)});
}

}  // namespace

RefreshRecord read_refresh(Credentials credentials, FetchResult transfer, const ReceiveBuffer& body,
                           const ExcludeList& excludes, bool newcgi, StopFlag stop) {
  RefreshRecord record = read_once(std::move(credentials), std::move(transfer), body, excludes, newcgi, stop);
  give_reason(record, body);
  return record;
}

void take_data_age(RefreshRecord& record, DataAgeFetch data_age, std::uint32_t max_age) {
  // A report from stale status data is no current report, nor one from a
  // user the server shows no host. It stays in the
  // record, for orvek -t to tell what it held; the screen shows the banner.
  if (std::optional<std::string> stale = status_data_banner(data_age.age, max_age)) {
    record.outcome.banner = true;
    record.outcome.banner_text = std::move(*stale);
    record.outcome.reason = banner_reason({record.transfer, record.answer.verdict, {}, &data_age, max_age});
  }
  record.data_age = std::move(data_age);
}

std::string details_failure(const StatusDetails& details, const Settings& settings) {
  const JsonList& failed = !details.hosts.ok() ? details.hosts : !details.services.ok() ? details.services : *details.members;
  // The CGI's "could not be found": the group it names does not exist.
  if (failed.type_code == 6 && settings.grouped()) {
    const bool service_group = settings.hostgroup.empty() ||
                               (!settings.servicegroup.empty() && failed.problem.find("servicegroup") != std::string::npos);
    return service_group ? "JSON status: no servicegroup named \"" + settings.servicegroup + "\""
                         : "JSON status: no hostgroup named \"" + settings.hostgroup + "\"";
  }
  return failed.problem.starts_with("JSON status") ? failed.problem : "JSON status: " + failed.problem;
}

void take_details(RefreshRecord& record, StatusDetails details, const Settings& settings) {
  bool unread_alarm = false;
  for (const UnreadRow& row : record.answer.unread) unread_alarm = unread_alarm || (row.tokens & (TOKEN_DWN | TOKEN_UNR));
  record.detailed = add_details(record.outcome.report, details, settings, unread_alarm);
  if (!details.ok()) {
    const std::string problem = details_failure(details, settings);
    record.outcome.details_problem = problem;
    // A group's screen without its group's answer would show the whole
    // list, or calm: neither is that team's picture.
    if (settings.grouped()) {
      record.outcome.banner = true;
      record.outcome.reason = problem;
    }
  }
  record.details = std::move(details);
}

void decide_page_kind(RefreshRecord& record, const ReceiveBuffer& body) {
  if (record.transfer.ok() && !record.answer.kind) record.answer.kind = page_kind(received_body(body));
}

RefreshRecord refresh(const RefreshRequest& request) {
  const Settings& settings = request.settings;
  const StopFlag stop = request.stop;
  Credentials credentials = read_credentials(settings);
  FetchResult transfer = fetch_problems(settings, credentials, request.body, stop, request.deadline);
  // The time a resize lays out again is that of this fetch, not its own.
  const std::time_t fetched_at = std::time(nullptr);
  RefreshRecord record = read_refresh(std::move(credentials), std::move(transfer), request.body, request.excludes,
                                      settings.newcgi, stop);
  record.outcome.fetched_at = fetched_at;
  if (!stop_asked(stop)) {
    // Never after a list that failed: its time is spent, and a server that
    // refused or dropped the list says no more to the JSON CGI.
    if (!record.outcome.banner && settings.wants_details())
      take_details(record, fetch_status_details(settings, record.credentials, stop, request.deadline), settings);
    // A group's screen of a user who may see no host would be calm for
    // nothing: asked here unless maxage asks below.
    if (!record.outcome.banner && settings.grouped() && !settings.max_age && !stop_asked(stop)) {
      DataAgeFetch count = fetch_data_age(settings, record.credentials, stop, request.deadline);
      if (count.age.hosts && count.age.hosts->total == 0) {
        record.outcome.banner = true;
        record.outcome.banner_text = std::string(NO_HOSTS_TEXT);
        record.outcome.reason = "the server shows this user no hosts";
      }
      record.data_age = std::move(count);
    }
    if (!record.outcome.banner && settings.max_age)
      take_data_age(record, fetch_data_age(settings, record.credentials, stop, request.deadline), *settings.max_age);
    else if (request.explain && record.transfer.ok() && !record.data_age)
      record.data_age = fetch_data_age(settings, record.credentials, stop, request.deadline);
  }
  if (request.explain) decide_page_kind(record, request.body);
  return record;
}
