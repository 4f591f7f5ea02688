"""A calm screen only when the server says so: answers that arrive whole
but are not the server's list of problems show the banner, the server's own
pages without problems stay black. With -m the last row says how many
labels did not fit."""

import os
import unittest

from statusbed import problem_line, status_page
from support import E2ETestCase, ExpectedScreen, ONE_PROBLEM_PAGE, banner_screen, blank_screen, one_problem_screen
from terminal import BLACK, MAGENTA, RED, WHITE

# The server's pages as its status CGI writes them: a document head, then
# either the card with its two tables or, for an error, a single paragraph.
HEAD = ('<?xml version="1.0"?>\n'
        '<!DOCTYPE wml PUBLIC "-//WAPFORUM//DTD WML 1.1//EN" "http://www.wapforum.org/DTD/wml_1.1.xml">\n'
        '<wml>\n<head>\n<meta forua="true" http-equiv="Cache-Control" content="max-age=0"/>\n</head>\n')
CARD_START = ("<card id='card1' title='Unhandled Problems'>\n<p align='center' mode='nowrap'>\n"
              "<b>Host Problems:</b><table columns='2' align='LL'>\n")
CARD_MIDDLE = "</table>\n<b>Svc Problems:</b><table columns='2' align='LL'>\n"
CARD_END = "</table>\n</p>\n</card>\n</wml>\n"
NO_PROBLEMS = "<tr><td>No problems</td></tr>\n"


def server_page(host_rows=NO_PROBLEMS, service_rows=NO_PROBLEMS):
    return HEAD + CARD_START + host_rows + CARD_MIDDLE + service_rows + CARD_END


def error_page(message):
    return HEAD + "<P>Error: %s</P>\n</wml>\n" % message


SIGN_IN_PAGE = ("<!DOCTYPE html>\n<html>\n<head><title>Sign in</title></head>\n<body>\n"
                "<form method='post' action='/login'>\n<input name='user'>\n"
                "<input type='password' name='password'>\n<button>Sign in</button>\n</form>\n</body>\n</html>\n")
# Problem lines, then the end of the document cut off inside a line.
CUT_PAGE = (HEAD + CARD_START + problem_line("down", "db1") + CARD_MIDDLE
            + "<postfield name='host' value='web1'/><postfield name='serv")
EXCLUDED = ("printer3", "Backup")


class CalmScreenTest(E2ETestCase):
    def test_only_the_servers_own_page_is_calm(self):
        # (case, body, the bed's answer, the screen it must give)
        cases = [
            ("status data unreadable", error_page("Could not read host and service status information!"),
             {}, banner_screen()),
            ("object configuration unreadable", error_page("Could not read some or all object configuration data!"),
             {}, banner_screen()),
            ("main configuration unreadable",
             error_page("Could not open main configuration file '/etc/mon/mon.cfg' for reading!"), {}, banner_screen()),
            ("CGI configuration unreadable",
             error_page("Could not open CGI configuration file '/etc/mon/cgi.cfg' for reading!"), {}, banner_screen()),
            ("sign-in page of a proxy", SIGN_IN_PAGE, {}, banner_screen()),
            ("empty body, Content-Length 0", "", {}, banner_screen()),
            # No Content-Length: the body ends where lighttpd closes the
            # connection, a complete answer to libcurl.
            ("problem lines cut before the end of the document, closed by the server", CUT_PAGE,
             dict(length=False), banner_screen()),
            ("the server's page without problems", server_page(), {}, blank_screen()),
            ("a page whose problems are all excluded",
             server_page(problem_line("down", "printer3"), problem_line("warning", "web1", "Backup")),
             {}, blank_screen()),
        ]
        bed = self.bed(http11=False)
        exclude = os.path.join(self.folder(), "exclude")
        with open(exclude, "w") as f:
            f.writelines(name + "\n" for name in EXCLUDED)
        bed.respond(page=ONE_PROBLEM_PAGE)
        terminal = self.monitor(bed.base_url, "-s", "0", "-e", exclude)
        asked = lambda: len(bed.requests())
        for case, body, answer, expected in cases:
            with self.subTest(case):
                # A report first, so that the screen must change to pass.
                bed.respond(page=ONE_PROBLEM_PAGE)
                self.assertScreen(terminal, one_problem_screen(), what="the report before %s" % case)
                bed.respond(page=body, **answer)
                start = asked()
                terminal.wait_for(lambda s: asked() >= start + 2, 10, "two more requests")
                self.assertScreen(terminal, expected, what="the frame of %s" % case)


def hundred_down_page():
    return status_page([("down", "h%02d" % i) for i in range(100)])


def hundred_down_screen():
    """24 of the hosts: twelve in the column at 0, twelve at 50, each
    followed by an empty row; the other 76 would start beyond column 80."""
    expected = ExpectedScreen(80, 24, WHITE, RED)
    for i in range(24):
        expected.label(i % 12 * 2, i // 12 * 50, "h%02d" % i, BLACK, WHITE)
    return expected


class HiddenCountTest(E2ETestCase):
    def test_last_row_says_how_many_labels_did_not_fit(self):
        bed = self.bed()
        bed.respond(page=hundred_down_page())
        plain = self.monitor(bed.base_url)
        counting = self.monitor(bed.base_url, "-m", "-s", "1")
        self.assertScreen(plain, hundred_down_screen(), what="the screen without -m")
        self.assertScreen(counting, hundred_down_screen().put(23, 68, " +76 hidden ", WHITE, RED, bold=True),
                          what="the note at the end of the last row")
        # Nothing when everything fits, nor on the banner.
        for case, page, expected in (("a page that fits", ONE_PROBLEM_PAGE, one_problem_screen()),
                                     ("an error page", error_page("Could not read host and service status "
                                                                  "information!"), banner_screen())):
            with self.subTest(case):
                bed.respond(page=page)
                self.assertScreen(counting, expected, what="%s with -m" % case)

    def test_labels_of_which_no_letter_shows_count(self):
        # Thirty UNREACHABLE hosts at 51x10: ten in column 0, ten in column
        # 50 of which only the leading space fits, ten beyond the edge.
        bed = self.bed()
        bed.respond(page=status_page([("unreachable", "u%02d" % i) for i in range(30)]))
        terminal = self.monitor(bed.base_url, "-m", width=51, height=10)
        expected = ExpectedScreen(51, 10, WHITE, RED)
        for i in range(10):
            expected.label(i, 0, "u%02d" % i, BLACK, MAGENTA)
            expected.put(i, 50, " ", BLACK, MAGENTA)
        expected.put(9, 39, " +20 hidden ", WHITE, RED, bold=True)
        self.assertScreen(terminal, expected, what="twenty labels counted")


if __name__ == "__main__":
    unittest.main()
