#include "refresh/detail_matching.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_map>

#include "common/keyed_hash.h"
#include "config/config_file.h"

namespace {

// The CGI's word for a name it could not write.
constexpr std::string_view NULL_NAME = "(null)";
constexpr std::int32_t SHARED = -1;  // two entries carry these names: neither is taken

// Entries by their names (a host's with no service), views into the
// entries, hashed under the process's random key: the server cannot choose
// names that fall together.
using Names = std::pair<std::string_view, std::string_view>;
struct NamesHash {
  std::size_t operator()(const Names& names) const {
    const std::uint64_t host = keyed_hash(names.first);
    return static_cast<std::size_t>(names.second.empty() ? host : host ^ (keyed_hash(names.second) * 0x9E3779B97F4A7C15u));
  }
};
using EntryIndex = std::unordered_map<Names, std::int32_t, NamesHash>;

EntryIndex index_of(const JsonList& list, bool services) {
  EntryIndex index;
  index.reserve(list.entries.size());
  for (std::size_t i = 0; i < list.entries.size(); ++i) {
    const JsonProblem& entry = list.entries[i];
    if (entry.host == NULL_NAME || (services && entry.service == NULL_NAME)) continue;
    const auto [at, fresh] = index.try_emplace(Names(entry.host, entry.service), static_cast<std::int32_t>(i));
    if (!fresh) at->second = SHARED;
  }
  return index;
}

bool is_host_problem(ReportItemKind kind) {
  return kind == ReportItemKind::DOWN_HOST || kind == ReportItemKind::UNREACHABLE_HOST;
}

const char* why_unmatched(const Names& key, const EntryIndex& index, bool answered) {
  if (!answered) return "the JSON status gave no usable answer";
  const auto found = index.find(key);
  if (found == index.end()) return "no entry of that name in the JSON status (a name outside ASCII is written (null))";
  return "two entries of the JSON status carry that name";
}

// The CGI's status codes for the list's words.
int status_code(const ReportItem& item) {
  if (item.kind == ReportItemKind::DOWN_HOST) return 4;
  if (item.kind == ReportItemKind::UNREACHABLE_HOST) return 8;
  switch (item.status) {
    case ServiceStatus::WARNING: return 4;
    case ServiceStatus::UNKNOWN: return 8;
    case ServiceStatus::CRITICAL: return 16;
  }
  return 0;
}

// The entries written with "(null)" in a name, by the names that were
// written and their status: whether one of them may be a problem of the
// list. One look-up a problem, whatever the answer holds.
struct NullEntries {
  std::unordered_map<Names, std::uint32_t, NamesHash> statuses;  // status codes as bits (up to 16)

  void add(std::string_view host, std::string_view service, int status) {
    if (status > 0 && status <= 16) statuses[Names(host, service)] |= 1u << status;
  }
  bool may_be(std::string_view host, std::string_view service, int status) const {
    const auto found = statuses.find(Names(host, service));
    return found != statuses.end() && (found->second & (1u << status));
  }
};

NullEntries null_entries(const JsonList& list, bool services) {
  NullEntries nulls;
  for (const JsonProblem& entry : list.entries) {
    const bool null_host = entry.host == NULL_NAME, null_service = services && entry.service == NULL_NAME;
    if (!null_host && !null_service) continue;
    nulls.add(entry.host, services ? std::string_view(entry.service) : std::string_view(), entry.status);
  }
  return nulls;
}

// Whether the CGI writes the name as "(null)": it holds a byte outside ASCII.
bool written_null(std::string_view name) {
  for (const char c : name)
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  return false;
}

// A problem the group's answer may hold under a name written "(null)": only
// a name outside ASCII is written so, and the names written and the status
// must agree.
bool maybe_null(const NullEntries& nulls, std::string_view host, const ReportItem& item, bool service) {
  const int status = status_code(item);
  if (!service) return written_null(item.name) && nulls.may_be(NULL_NAME, {}, status);
  const bool null_host = written_null(host), null_service = written_null(item.name);
  if (null_host && null_service) return nulls.may_be(NULL_NAME, NULL_NAME, status);
  if (null_host) return nulls.may_be(NULL_NAME, item.name, status);
  return null_service && nulls.may_be(host, NULL_NAME, status);
}

// Takes the items not kept out of the report, and host labels left heading
// nothing.
void keep_only(Report& report, const std::vector<bool>& soft) {
  std::vector<ReportItem> items;
  std::vector<ItemDetail> details;
  for (std::size_t i = 0; i < report.items.size(); ++i) {
    if (!soft[i]) continue;
    items.push_back(report.items[i]);
    details.push_back(report.details.items[i]);
  }
  report.items.clear();
  report.details.items.clear();
  for (std::size_t i = 0; i < items.size(); ++i) {
    const bool heads_service = i + 1 < items.size() && items[i + 1].kind == ReportItemKind::SERVICE;
    if (items[i].kind == ReportItemKind::HOST && !heads_service) continue;
    report.items.push_back(items[i]);
    report.details.items.push_back(details[i]);
  }
}

}  // namespace

std::vector<DetailedProblem> add_details(Report& report, const StatusDetails& details, const Settings& settings,
                                         bool unread_alarm) {
  std::vector<DetailedProblem> told;
  std::vector<std::size_t> told_item;  // the item each told problem is
  ReportDetails& shown = report.details;
  shown.ages = settings.ages;
  shown.output = settings.output;
  shown.fresh_seconds = settings.fresh;
  shown.items.assign(report.items.size(), ItemDetail{});
  const bool answered = details.ok();
  const EntryIndex hosts = answered ? index_of(details.hosts, false) : EntryIndex();
  const EntryIndex services = answered ? index_of(details.services, true) : EntryIndex();
  std::vector<bool> soft(report.items.size(), false);
  std::vector<bool> outside(report.items.size(), false);
  const bool grouped = settings.grouped() && answered;
  const NullEntries null_hosts = grouped ? null_entries(details.hosts, false) : NullEntries();
  const NullEntries null_services = grouped ? null_entries(details.services, true) : NullEntries();
  // A service group's hosts: those with a service in it, whatever its state.
  std::unordered_map<Names, bool, NamesHash> member_hosts;
  const bool by_members = grouped && details.members;
  if (by_members)
    for (const JsonProblem& entry : details.members->entries) member_hosts.emplace(Names(entry.host, {}), true);
  const bool null_member = member_hosts.contains(Names(NULL_NAME, {}));
  // Where each matched item's output starts in texts; views are set once
  // texts has stopped growing.
  auto texts = std::make_shared<std::string>();
  std::vector<std::pair<std::size_t, std::size_t>> output_at(report.items.size(), {0, 0});
  std::string_view host;
  for (std::size_t i = 0; i < report.items.size(); ++i) {
    const ReportItem& item = report.items[i];
    if (item.kind == ReportItemKind::HOST) {
      host = item.name;
      continue;
    }
    const bool service = item.kind == ReportItemKind::SERVICE;
    const Names key = service ? Names(host, item.name) : Names(item.name, {});
    const EntryIndex& index = service ? services : hosts;
    const auto found = answered ? index.find(key) : index.end();
    DetailedProblem& problem = told.emplace_back();
    told_item.push_back(i);
    problem.name = service ? std::string(host) + "/" + std::string(item.name) : std::string(item.name);
    if (grouped && !service && by_members && !null_member && !member_hosts.contains(Names(item.name, {}))) {
      outside[i] = problem.outside_group = true;
      problem.why = "no service of it in the service group";
      continue;
    }
    if (found == index.end() || found->second == SHARED) {
      problem.why = why_unmatched(key, index, answered);
      if (grouped) {
        problem.maybe_in_group = maybe_null(service ? null_services : null_hosts, host, item, service);
        outside[i] = problem.outside_group = !problem.maybe_in_group && found == index.end();
        if (problem.outside_group) problem.why = "not in the group's answer";
      }
      continue;
    }
    problem.matched = true;
    const JsonList& list = service ? details.services : details.hosts;
    const JsonProblem& entry = list.entries[static_cast<std::size_t>(found->second)];
    ItemDetail& detail = shown.items[i];
    if (list.query_time_ms && entry.last_change_ms > 0) {
      const std::int64_t age_ms = *list.query_time_ms - entry.last_change_ms;
      detail.age_seconds = age_ms < 0 ? 0 : age_ms / 1000;
    }
    if (entry.soft) {
      soft[i] = true;
      problem.soft = true;
      problem.hidden = settings.soft_hide;
      detail.attempt = static_cast<unsigned char>(entry.attempt);
      detail.max_attempts = static_cast<unsigned char>(entry.max_attempts);
    }
    output_at[i] = {texts->size(), entry.output.size()};
    texts->append(entry.output);
  }
  for (std::size_t i = 0; i < report.items.size(); ++i)
    shown.items[i].output = std::string_view(*texts).substr(output_at[i].first, output_at[i].second);
  shown.texts = std::move(texts);
  for (std::size_t t = 0; t < told.size(); ++t) told[t].detail = shown.items[told_item[t]];
  std::vector<bool> kept(report.items.size(), true);
  for (std::size_t i = 0; i < kept.size(); ++i) kept[i] = !outside[i] && !(settings.soft_hide && soft[i]);
  if ((settings.soft_hide || grouped) && answered) {
    keep_only(report, kept);
    bool alarm = unread_alarm;
    for (const ReportItem& item : report.items) alarm = alarm || is_host_problem(item.kind);
    report.alarm = alarm;
  }
  return told;
}
