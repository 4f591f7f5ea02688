#include "fetch/banner_reason.h"

#include "common/text_search.h"
#include "fetch/data_age.h"
#include "fetch/failure_words.h"
#include "fetch/status_fetch.h"

namespace {

// What the page was, when it arrived but was not the list of problems.
std::string page_reason(PageVerdict verdict, std::string_view body) {
  switch (verdict) {
    case PageVerdict::STATUS_PAGE: break;
    case PageVerdict::CUT_SHORT: return "page cut short: no </wml>";
    case PageVerdict::NO_NAMES: return "not the list of problems: status words, no names";
    case PageVerdict::NO_CARD: return "not the list of problems: " + std::string(answer_kind(body));
    case PageVerdict::ZERO_BYTE: return "not the list of problems: a zero byte in the page";
    case PageVerdict::OTHER_CARD:
      return page_kind(body) == PageKind::INDEX_CARD ? "not the list of problems: the server's index card"
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

std::string_view answer_kind(std::string_view body) {
  // A look at the beginning is enough to name what came; the page check
  // has already read the whole of it.
  std::string_view start = body.substr(0, 1024);
  const std::size_t first = start.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return body.empty() ? "an empty page" : "a page of blanks";
  start.remove_prefix(first);
  if (start.starts_with("\xEF\xBB\xBF")) start.remove_prefix(3);
  if (find_tag(start, "<wml") != std::string_view::npos) return "a WML page without its card";
  if (find_tag(start, "<html") != std::string_view::npos || find_tag(start, "<!doctype html") != std::string_view::npos)
    return "an HTML page";
  if (start.front() == '{' || start.front() == '[') return "a JSON answer";
  if (start.front() == '<') return "an XML page";
  return "a text page";
}

std::string banner_reason(const BannerCause& cause) {
  if (!cause.fetched.ok()) return wall_failure_words(cause.fetched);
  if (cause.verdict != PageVerdict::STATUS_PAGE) return page_reason(cause.verdict, cause.body);
  if (cause.age) return data_age_reason(*cause.age, cause.max_age);
  return {};
}
