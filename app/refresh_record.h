#pragma once
// One refresh, as one record: the transfer, the page as read, the data
// age's answer and what the screen shows. The refresh cycle paints it;
// orvek -t prints it. Nothing in it is read, fetched or decided twice.
#include <functional>
#include <optional>
#include <vector>

#include "app/program.h"
#include "common/stop_flag.h"
#include "fetch/data_age.h"
#include "fetch/server_transfer.h"
#include "fetch/status_fetch.h"
#include "report/line_names.h"
#include "report/page_check.h"
#include "report/problem_lines.h"

struct ExcludeList;
struct ReceiveBuffer;

// What a transfer that arrived holds, read as a refresh reads it: the problem
// lines, their names and the page check's verdict. Lines and names are views
// into the receive buffer.
struct Answer {
  std::vector<ProblemLine> lines;
  std::vector<LineNames> names;
  PageVerdict verdict = PageVerdict::NO_CARD;
  std::vector<UnreadRow> unread;    // rows that hold a status but could not be read, in page order
  bool unread_status_cell = false;  // a status cell outside rows that gave no problem (problem_lines.h)
  int unmatched = 0;                // problem lines that named nothing, when the report was made
};

struct RefreshRecord {
  Credentials credentials;  // the password sent, read once for every transfer of the refresh
  FetchResult transfer;     // the list's, with the certificate of the connection that carried it
  Answer answer;            // read when the transfer gave its page
  std::optional<DataAgeFetch> data_age;  // asked for when maxage is set and the list would be drawn, or for -t
  Outcome outcome;          // what the screen shows: the report (when drawn), or a banner
};

// A pause lets the reading of a page be cut short whenever *interrupted
// turns non-zero (a resize): resume is called (it shows what was shown, at
// the terminal's new size) and the same page is read again from its start.
struct ReadingPause {
  StopFlag interrupted;
  std::function<void()> resume;
};

// Reads the page the transfer left in body and decides what is shown,
// without the data age. When *stop turns non-zero the reading ends early
// and the outcome stays a banner: an unfinished report is never shown.
// With a pause, the reading stops and starts again as it says, until it
// ends whole or *stop turns non-zero.
RefreshRecord read_refresh(Credentials credentials, FetchResult transfer, const ReceiveBuffer& body,
                           const ExcludeList& excludes, bool newcgi, StopFlag stop = nullptr,
                           const ReadingPause* pause = nullptr);

// Takes the data age's answer into the record: the report gives way to a
// banner when the data is older than max_age seconds or its age unknown.
void take_data_age(RefreshRecord& record, DataAgeFetch data_age, std::uint32_t max_age);

// One refresh: the credentials read, the list fetched into program.body and
// read, the data age fetched when it counts. ask_json: ask the JSON CGI
// (the data's age, the hosts this user may see) whenever the server
// gave its list, as orvek -t does, even where the screen would not use it.
// When stop is given, a transfer or the reading of a page is abandoned soon
// after *stop turns non-zero; a deadline bounds all of the transfers; a
// pause is handed to the reading.
RefreshRecord refresh(Program& program, StopFlag stop = nullptr, bool ask_json = false,
                      const Deadline* deadline = nullptr, const ReadingPause* pause = nullptr);
