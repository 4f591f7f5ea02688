// Which answers count as the server's list of problems.
#include <gtest/gtest.h>

#include <string>

#include "report/page_check.h"

namespace {

using namespace std::string_literals;

const std::string HEAD =
    "<?xml version=\"1.0\"?>\n"
    "<!DOCTYPE wml PUBLIC \"-//WAPFORUM//DTD WML 1.1//EN\" \"http://www.wapforum.org/DTD/wml_1.1.xml\">\n"
    "<wml>\n<head>\n<meta forua=\"true\" http-equiv=\"Cache-Control\" content=\"max-age=0\"/>\n</head>\n";
const std::string CALM = HEAD +
                         "<card id='card1' title='Unhandled Problems'>\n<p align='center' mode='nowrap'>\n"
                         "<b>Host Problems</b><br/><table columns='2' align='LL'>\n<tr><td>No problems</td></tr>\n"
                         "</table>\n<b>Service Problems</b><br/><table columns='2' align='LL'>\n"
                         "<tr><td>No problems</td></tr>\n</table>\n</p>\n</card>\n</wml>\n";
const std::string PROBLEM = "<postfield name='host' value='db1'/> DWN\n";

std::string error_page(const std::string& message) { return HEAD + "<P>" + message + "</P>\n</wml>\n"; }

struct PageCase {
  const char* name;
  std::string body;
  bool has_problem_lines;
  PageVerdict verdict;
};

void PrintTo(const PageCase& c, std::ostream* out) { *out << c.name; }

const PageCase page_cases[] = {
    {"calm_page_of_the_server", CALM, false, PageVerdict::STATUS_PAGE},
    {"calm_page_in_capitals", "<WML><CARD id='c'></CARD></WML>\n", false, PageVerdict::STATUS_PAGE},
    {"page_with_problems", HEAD + "<card>\n" + PROBLEM + "</card>\n</wml>\n", true, PageVerdict::STATUS_PAGE},
    {"error_no_status_data", error_page("Error: Could not read host and service status information!"), false,
     PageVerdict::NO_CARD},
    {"error_no_cgi_configuration",
     error_page("Error: Could not open CGI configuration file '/etc/mon/cgi.cfg' for reading!"), false,
     PageVerdict::NO_CARD},
    {"sign_in_page", "<html><head><title>Sign in</title></head><body><form>...</form></body></html>\n", false,
     PageVerdict::NO_CARD},
    {"empty_body", "", false, PageVerdict::NO_CARD},
    {"card_never_closed", HEAD + "<card id='card1'>\n</wml>\n", false, PageVerdict::NO_CARD},
    {"card_closed_before_opened", "<wml></card><card></wml>", false, PageVerdict::NO_CARD},
    {"cut_before_end_of_document", HEAD + "<card>\n" + PROBLEM, true, PageVerdict::CUT_SHORT},
    {"cut_calm_page", CALM.substr(0, CALM.size() - 8), false, PageVerdict::CUT_SHORT},
    {"end_of_document_only_before_its_start", "</wml><wml>\n" + PROBLEM, true, PageVerdict::CUT_SHORT},
    // Not a WML document: judged only by its problem lines, as always.
    {"problem_lines_without_markup", PROBLEM, true, PageVerdict::STATUS_PAGE},
    // The end may lie after a zero byte that ends the text the report reads.
    {"end_after_a_zero_byte", "<wml><card>\n" + PROBLEM + "\0tail</card></wml>\n"s, true, PageVerdict::STATUS_PAGE},
};

class PageCheck : public testing::TestWithParam<PageCase> {};

TEST_P(PageCheck, Verdict) {
  const PageCase& c = GetParam();
  EXPECT_EQ(check_page(c.body, c.has_problem_lines), c.verdict);
}

INSTANTIATE_TEST_SUITE_P(Table, PageCheck, testing::ValuesIn(page_cases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
