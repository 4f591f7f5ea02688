#include "refresh/banner_reason.h"

#include "fetch/answer_kind.h"
#include "fetch/data_age.h"
#include "fetch/failure_words.h"
#include "fetch/status_fetch.h"

namespace {

// What the page was, when it arrived but was not the list of problems.
std::string page_reason(PageVerdict verdict, PageKind kind, std::string_view body) {
  switch (verdict) {
    case PageVerdict::STATUS_PAGE: break;
    case PageVerdict::CUT_SHORT: return "page cut short: no </wml>";
    case PageVerdict::NO_NAMES: return "not the list of problems: status words, no names";
    case PageVerdict::NO_CARD: return "not the list of problems: " + std::string(answer_kind(body));
    case PageVerdict::ZERO_BYTE: return "not the list of problems: a zero byte in the page";
    case PageVerdict::OTHER_CARD:
      return kind == PageKind::INDEX_CARD ? "not the list of problems: the server's index card"
                                                     : "not the list of problems: another card of the server";
    case PageVerdict::NOT_WHOLE: return "page not read whole: a status without its name";
  }
  return {};
}

std::string data_age_reason(const DataAgeFetch& age, std::uint32_t max_age) {
  if (age.age.age_ms) {
    if (*age.age.age_ms > static_cast<std::int64_t>(max_age) * 1000)
      return "status data older than maxage " + std::to_string(max_age) + " s";
    return "the server shows this user no hosts";
  }
  if (!age.fetched.ok()) return "data age unknown: " + wall_failure_words(age.fetched);
  if (age.age.not_json)
    return "JSON status: not JSON" + (age.age.answer_kind.empty() ? std::string() : " (" + age.age.answer_kind + ")");
  if (age.age.written_ahead) return "data age unknown: status data written after the server's time";
  return "data age unknown: answer without its times";
}

}  // namespace

std::string banner_reason(const BannerCause& cause) {
  if (!cause.fetched.ok()) return wall_failure_words(cause.fetched);
  if (cause.verdict != PageVerdict::STATUS_PAGE) return page_reason(cause.verdict, cause.kind, cause.body);
  if (cause.age) return data_age_reason(*cause.age, cause.max_age);
  return {};
}
