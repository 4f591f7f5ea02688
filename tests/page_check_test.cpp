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
                         "<b>Host Problems:</b><table columns='2' align='LL'>\n<tr><td>No problems</td></tr>\n"
                         "</table>\n<b>Svc Problems:</b><table columns='2' align='LL'>\n"
                         "<tr><td>No problems</td></tr>\n</table>\n</p>\n</card>\n</wml>\n";
const std::string PROBLEM = "<postfield name='host' value='db1'/> DWN\n";

const std::string RENDITION_CALM =
    "<!DOCTYPE html>\n<html>\n<head><title>Problems</title></head>\n<body>\n"
    "<b>Host Problems: </b><table>\n<tr><td>No problems</td></tr>\n</table>\n"
    "<b>Svc Problems:</b><table>\n<tr><td>No problems</td></tr>\n</table>\n</body>\n</html>\n";

std::string error_page(const std::string& message) { return HEAD + "<P>" + message + "</P>\n</wml>\n"; }

// The status CGI's other cards, complete WML documents without problem lines.
std::string card(const std::string& title, const std::string& text) {
  return HEAD + "<card id='card1' title='" + title + "'>\n<p>\n" + text + "</p>\n</card>\n</wml>\n";
}
const std::string INDEX_CARD =
    card("Main", "<a href='statuswml.cgi?style=uprobs'>Unhandled Problems</a><br/>\n"
                 "<a href='statuswml.cgi?style=aprobs'>All Problems</a><br/>\n"
                 "<a href='statuswml.cgi?style=processinfo'>Process Info</a><br/>\n");
const std::string HOST_CARD = card("Host Status", "<b>Host 'web1'</b><br/>\nStatus: Up<br/>\n");
const std::string PROCESS_CARD = card("Process Info", "Program start: 2026-12-10 08:00<br/>\nNotifications: on<br/>\n");

struct PageCase {
  const char* name;
  std::string body;
  bool has_problem_lines;
  PageVerdict verdict;
  bool has_names = true;
};

void PrintTo(const PageCase& c, std::ostream* out) { *out << c.name; }

const PageCase page_cases[] = {
    {"calm_page_of_the_server", CALM, false, PageVerdict::STATUS_PAGE},
    {"calm_page_in_capitals",
     "<WML><CARD id='c'><B>HOST PROBLEMS:</B><TABLE></TABLE><B>SVC PROBLEMS:</B><TABLE></TABLE></CARD></WML>\n", false,
     PageVerdict::STATUS_PAGE},
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
    // A zero byte makes no text page, wherever it stands.
    {"zero_byte_before_the_end", "<wml><card>\n" + PROBLEM + "\0tail</card></wml>\n"s, true, PageVerdict::ZERO_BYTE},
    {"zero_byte_in_a_calm_page", CALM.substr(0, 40) + "\0"s + CALM.substr(40), false, PageVerdict::ZERO_BYTE},
    // Only the card of problems is an all-clear: not the CGI's other cards.
    {"index_card", INDEX_CARD, false, PageVerdict::OTHER_CARD},
    {"host_card", HOST_CARD, false, PageVerdict::OTHER_CARD},
    {"process_card", PROCESS_CARD, false, PageVerdict::OTHER_CARD},
    {"bare_card", "<WML><CARD id='c'></CARD></WML>\n", false, PageVerdict::OTHER_CARD},
    {"problem_tables_after_the_card",
     HEAD + "<card id='c'></card>\n<b>Host Problems:</b><table></table><b>Svc Problems:</b><table></table>\n</wml>\n",
     false, PageVerdict::OTHER_CARD},
    {"problem_tables_in_a_comment",
     HEAD + "<card id='c'><!-- <b>Host Problems:</b><table></table><b>Svc Problems:</b><table></table> -->"
            "</card>\n</wml>\n",
     false, PageVerdict::OTHER_CARD},
    {"only_the_host_table", HEAD + "<card id='c'><b>Host Problems:</b><table></table></card>\n</wml>\n", false,
     PageVerdict::OTHER_CARD},
    // Problem lines that yield no name: a page that only looks like a list.
    {"sign_in_page_with_tokens_in_words",
     "<html><head><meta name=\"description\" content=\"Sign in\"><script src=\"/sso.js\"></script></head></html>\n",
     true, PageVerdict::NO_NAMES, false},
    {"totals_page", "<wml><card>\n<p>3 UNREACHABLE</p>\n<p>21 CRITICAL</p>\n</card></wml>\n", true,
     PageVerdict::NO_NAMES, false},
    {"cut_short_before_names_count", HEAD + "<card>\n<p>CRITICAL</p>\n", true, PageVerdict::CUT_SHORT, false},
    // A card inside a comment is no card.
    {"card_only_in_a_comment", "<wml><!-- <card id=\"login\"></card> --><p>Sign in</p></wml>\n", false,
     PageVerdict::NO_CARD},
    {"card_after_a_comment", "<wml><!-- note -->" + CALM.substr(CALM.find("<card")), false, PageVerdict::STATUS_PAGE},
    {"comment_never_closed_hides_the_card", "<wml><!-- <card></card></wml>\n", false, PageVerdict::NO_CARD},
    {"placeholder_page", "<!DOCTYPE html><html><body><h1>It works!</h1></body></html>\n", false,
     PageVerdict::NO_CARD},
    // The plain HTML rendition without problems: both tables, then the end.
    {"rendition_all_clear", RENDITION_CALM, false, PageVerdict::STATUS_PAGE},
    {"rendition_without_its_end", RENDITION_CALM.substr(0, RENDITION_CALM.find("</body>")), false,
     PageVerdict::NO_CARD},
    {"rendition_with_one_table",
     "<!DOCTYPE html><html><body><b>Host Problems: </b><table><tr><td>No problems</td></tr></table></body></html>\n",
     false, PageVerdict::NO_CARD},
    {"rendition_tables_in_a_comment",
     "<!DOCTYPE html><html><body><!-- <b>Host Problems: </b><table></table><b>Svc Problems:</b><table></table> "
     "--></body></html>\n",
     false, PageVerdict::NO_CARD},
};

class PageCheck : public testing::TestWithParam<PageCase> {};

TEST_P(PageCheck, Verdict) {
  const PageCase& c = GetParam();
  EXPECT_EQ(check_page(c.body, c.has_problem_lines, c.has_names, page_kind(c.body)), c.verdict);
}

INSTANTIATE_TEST_SUITE_P(Table, PageCheck, testing::ValuesIn(page_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PageKind, KnowsTheTwoListsAndNothingElse) {
  EXPECT_EQ(page_kind(CALM), PageKind::PROBLEMS_CARD);
  EXPECT_EQ(page_kind(INDEX_CARD), PageKind::INDEX_CARD);
  EXPECT_EQ(page_kind(HOST_CARD), PageKind::OTHER_CARD);
  EXPECT_EQ(card_title(PROCESS_CARD), "Process Info");
  EXPECT_EQ(card_title("<wml><!-- <card title='x'> --></wml>"), "");
  EXPECT_EQ(page_kind(RENDITION_CALM), PageKind::HTML_RENDITION);
  EXPECT_EQ(page_kind(error_page("Error")), PageKind::OTHER);
  EXPECT_EQ(page_kind("<html><body><!-- <card id=\"login\"></card> --></body></html>"), PageKind::OTHER);
}

// A page drawn calm only when every problem in it was read.
TEST(CalmCheck, NothingShownNeedsEveryProblemRead) {
  EXPECT_EQ(check_calm(PageVerdict::STATUS_PAGE, true, 0, false), PageVerdict::STATUS_PAGE);
  EXPECT_EQ(check_calm(PageVerdict::STATUS_PAGE, true, 1, false), PageVerdict::NOT_WHOLE);
  EXPECT_EQ(check_calm(PageVerdict::STATUS_PAGE, true, 0, true), PageVerdict::NOT_WHOLE);
  // Something shown is no calm screen: the problems read are drawn.
  EXPECT_EQ(check_calm(PageVerdict::STATUS_PAGE, false, 3, true), PageVerdict::STATUS_PAGE);
  EXPECT_EQ(check_calm(PageVerdict::NO_CARD, true, 1, true), PageVerdict::NO_CARD);
}

}  // namespace
