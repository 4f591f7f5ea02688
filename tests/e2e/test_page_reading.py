"""Each problem read as the server wrote it, and nothing else taken for an
all-clear: rows read cell by cell with whole names (names inside other
names, tokens inside names, names differing in case, a host named like a
service), the plain HTML rendition of the list, and pages that only look
like a list. The monitor runs without a newcgi line, the usual set-up."""

import unittest

from statusbed import rendition_page, row_page
from support import E2ETestCase, ExpectedScreen, banner_screen, blank_screen
from terminal import BLACK, GREEN, MAGENTA, RED, WHITE, YELLOW


def screen(alarm=False):
    return ExpectedScreen(80, 24, WHITE, RED if alarm else BLACK)


def down(expected, row, host):
    return expected.label(row, 0, host, BLACK, WHITE)


def unreachable(expected, row, host):
    return expected.label(row, 0, host, BLACK, MAGENTA)


def group(expected, row, host, *services):
    """A host label and its services, one a row below it."""
    expected.label(row, 0, host, BLACK, GREEN)
    colours = {"WARNING": YELLOW, "CRITICAL": RED, "UNKNOWN": MAGENTA}
    for offset, (word, name) in enumerate(services, 1):
        expected.label(row + offset, 2, word, BLACK, colours[word]).service(row + offset, 4 + len(word), name)
    return expected


SIGN_IN_PAGE = ('<!DOCTYPE html>\n<html>\n<head>\n<meta name="description" content="Single sign-on">\n'
                '<script src="/sso/login.js"></script>\n</head>\n<body>\n<h1>Sign in</h1>\n</body>\n</html>\n')
TEXT_REFUSAL = "Unknown error\n"
JSON_REFUSAL = '{"error": "invalid_token",\n "error_description": "The access token expired"}\n'
COMMENT_CARD_PAGE = ('<!DOCTYPE html>\n<html>\n<head><title>Sign in</title></head>\n<body>\n'
                     '<!-- <card id="login"></card> -->\n<form action="/login"><input name="user"></form>\n'
                     '</body>\n</html>\n')
PLACEHOLDER_PAGE = ("<!DOCTYPE html>\n<html>\n<head><title>Welcome</title></head>\n<body>\n"
                    "<h1>It works!</h1>\n<p>This is the default web page for this server.</p>\n</body>\n</html>\n")
# The whole URL pasted into the server line: the CGI answers its totals.
TOTALS_PAGE = ("<?xml version='1.0'?>\n<wml>\n<card id='card1' title='Status Summary'>\n<p>\n"
               "<b>Host Totals</b>:<br/>\n3 UNREACHABLE<br/>\n1 DOWN<br/>\n"
               "<b>Service Totals</b>:<br/>\n21 CRITICAL<br/>\n4 WARNING<br/>\n2 UNKNOWN<br/>\n"
               "</p>\n</card>\n</wml>\n")

CASES = [
    ("a DOWN host silences its own services only (web10 beside web1)",
     row_page([("down", "web10"), ("critical", "web1", "Load"), ("critical", "web10", "Ping")]),
     group(down(screen(True), 0, "web10"), 2, "web1", ("CRITICAL", "Load"))),
    ("an UNREACHABLE host silences its own services only (db1 beside db)",
     row_page([("unreachable", "db1"), ("warning", "db", "Disk"), ("unknown", "db1", "Swap")]),
     group(unreachable(screen(True), 0, "db1"), 1, "db", ("WARNING", "Disk"))),
    ("tokens inside host and service names",
     row_page([("warning", "sunrise", "DNS unresolved"), ("critical", "unknown-box", "description")]),
     group(group(screen(), 0, "sunrise", ("WARNING", "DNS unresolved")), 3, "unknown-box",
           ("CRITICAL", "description"))),
    ("web1 beside WEB1",
     row_page([("warning", "web1", "Disk"), ("critical", "WEB1", "Load")]),
     group(group(screen(), 0, "web1", ("WARNING", "Disk")), 3, "WEB1", ("CRITICAL", "Load"))),
    ("a host named like another host's service",
     row_page([("critical", "web1", "Load"), ("warning", "Load", "Ping")]),
     group(group(screen(), 0, "web1", ("CRITICAL", "Load")), 3, "Load", ("WARNING", "Ping"))),
    ("the plain HTML rendition's problems",
     rendition_page([("down", "db1"), ("unreachable", "gw"), ("critical", "web1", "Load"),
                     ("warning", "web1", "Disk")]),
     group(unreachable(down(screen(True), 0, "db1"), 2, "gw"), 3, "web1", ("CRITICAL", "Load"),
           ("WARNING", "Disk"))),
    ("the plain HTML rendition's all-clear", rendition_page([]), blank_screen()),
    ("the status CGI's all-clear in rows", row_page([]), blank_screen()),
    ("a single-sign-on page", SIGN_IN_PAGE, banner_screen()),
    ("a plain-text refusal", TEXT_REFUSAL, banner_screen()),
    ("a JSON refusal", JSON_REFUSAL, banner_screen()),
    ("a sign-in page with a card in a comment", COMMENT_CARD_PAGE, banner_screen()),
    ("the web server's placeholder page", PLACEHOLDER_PAGE, banner_screen()),
    ("the totals page", TOTALS_PAGE, banner_screen()),
]


class PageReadingTest(E2ETestCase):
    def test_each_page_as_the_server_wrote_it(self):
        self.assertEachPageFrame(CASES)


if __name__ == "__main__":
    unittest.main()
