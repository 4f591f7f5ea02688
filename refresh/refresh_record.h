#pragma once
// One refresh, as one record: the transfer, the page as read, the data
// age's answer and what the screen shows. The refresh cycle paints it;
// orvek -t prints it. Nothing in it is fetched or decided twice.
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/stop_flag.h"
#include "fetch/data_age.h"
#include "fetch/status_details.h"
#include "fetch/server_transfer.h"
#include "fetch/status_fetch.h"
#include "report/line_names.h"
#include "report/page_check.h"
#include "report/problem_lines.h"
#include "report/report.h"
#include "refresh/detail_matching.h"
#include "refresh/outcome.h"

struct ExcludeList;
struct Settings;
struct ReceiveBuffer;

// What a transfer that arrived holds, read as a refresh reads it: the problem
// lines, their names and the page check's verdict. Lines and names are views
// into the receive buffer.
struct Answer {
  std::vector<ProblemLine> lines;
  std::vector<LineNames> names;
  PageVerdict verdict = PageVerdict::NO_CARD;
  // The kind of page, decided once: when the verdict needs it (no problem
  // line), or whenever orvek -t explains the refresh.
  std::optional<PageKind> kind;
  std::vector<UnreadRow> unread;    // rows that hold a status but could not be read, in page order
  bool unread_status_cell = false;  // a status cell outside rows that gave no problem (problem_lines.h)
  int unmatched = 0;                // problem lines that named nothing, when the report was made
};

struct RefreshRecord {
  Credentials credentials;  // the password sent, read once for every transfer of the refresh
  FetchResult transfer;     // the list's, with the certificate of the connection that carried it
  Answer answer;            // read when the transfer gave its page
  std::optional<DataAgeFetch> data_age;  // asked for when maxage is set and the list would be drawn, or for -t
  Outcome outcome;          // what the screen shows: the report (when drawn), or a banner and its reason
  // Asked for with ages, output or soft hide when the list would be drawn:
  // the JSON status's answers, and each problem of the list with what it
  // took from them.
  std::optional<StatusDetails> details;
  std::vector<DetailedProblem> detailed;
};

// Takes the JSON status's details into the record's report (drawn or not,
// so that orvek -t tells what it held).
void take_details(RefreshRecord& record, StatusDetails details, const Settings& settings);

// Why the JSON status gave no details, in the words -u and orvek -t show
// ("JSON status: no hostgroup named "web-tier"").
std::string details_failure(const StatusDetails& details, const Settings& settings);

// Reads the page the transfer left in body and decides what is shown, and
// why a banner is shown, without the data age. When *stop turns true the
// reading ends early and the outcome stays a banner: an unfinished report is
// never shown.
RefreshRecord read_refresh(Credentials credentials, FetchResult transfer, const ReceiveBuffer& body,
                           const ExcludeList& excludes, bool newcgi, StopFlag stop = nullptr);

// Takes the data age's answer into the record: the report gives way to a
// banner, with its reason, when the data is older than max_age seconds or
// its age unknown.
void take_data_age(RefreshRecord& record, DataAgeFetch data_age, std::uint32_t max_age);

// Decides the record's kind of page where the reading did not need it: orvek
// -t names it for every page that arrived.
void decide_page_kind(RefreshRecord& record, const ReceiveBuffer& body);

// What one refresh is asked to do, and with what.
struct RefreshRequest {
  const Settings& settings;     // the server's
  const ExcludeList& excludes;  // what its screen leaves out
  ReceiveBuffer& body;          // the buffer the list is received into
  // When given, a transfer or the reading of a page is abandoned soon after
  // *stop turns true.
  StopFlag stop = nullptr;
  // As orvek -t asks: the JSON CGI (the data's age, the hosts this user may
  // see) whenever the server gave its list, and the kind of page whatever it
  // holds, even where the screen would not use them.
  bool explain = false;
  const Deadline* deadline = nullptr;  // bounds all of the refresh's transfers together
};

// One refresh: the credentials read, the list fetched into request.body and
// read, the data age fetched when it counts.
RefreshRecord refresh(const RefreshRequest& request);
