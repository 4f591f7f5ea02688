"""Every row read wherever it stands, every name as the server wrote it, and
a calm screen only from the server's list of problems: pages on one line,
rows joined or split, the status CGI's own rows joined on one line, zero
bytes, the status CGI's other cards, names written unescaped, a third cell,
a row without its host, and a few hundred random names from the whole
printable set through real HTTP, statuses and names exact."""

import html
import random
import subprocess
import unittest

from statusbed import CARD_END, EMPTY_TABLES, PAGE_HEAD, cgi_row, index_card, rendition_page, row_page, totals_page
from support import E2ETestCase, ExpectedScreen, banner_screen, blank_screen, write_config
from terminal import BLACK, GREEN, MAGENTA, RED, WHITE, YELLOW

WORDS = {"warning": ("WARNING", YELLOW), "critical": ("CRITICAL", RED), "unknown": ("UNKNOWN", MAGENTA)}


def screen_of(problems):
    """The screen of a page whose problems come as the report draws them:
    DOWN hosts, UNREACHABLE hosts, then each host's services in a group,
    one column of 24 rows (the caller keeps within it)."""
    alarm = any(p[0] in ("down", "unreachable") for p in problems)
    expected = ExpectedScreen(80, 24, WHITE, RED if alarm else BLACK)
    row = 0
    groups = {}
    for p in problems:
        if p[0] == "down":
            expected.label(row, 0, p[1], BLACK, WHITE)
            row += 2
        elif p[0] == "unreachable":
            expected.label(row, 0, p[1], BLACK, MAGENTA)
            row += 1
        else:
            groups.setdefault(p[1], []).append(p)
    for host, services in groups.items():
        expected.label(row, 0, host, BLACK, GREEN)
        for kind, _, service in services:
            row += 1
            word, colour = WORDS[kind]
            expected.label(row, 2, word, BLACK, colour).service(row, 4 + len(word), service)
        row += 2
    return expected


def wml(rows):
    return PAGE_HEAD + rows + EMPTY_TABLES + CARD_END


DWN_DB1 = "<tr><td>DWN</td><td>db1</td></tr>"
CRI_WEB1 = "<tr><td>CRI</td><td>web1/Load</td></tr>"
BOTH = [("down", "db1"), ("critical", "web1", "Load")]

# (case, page, the screen it must give)
CASES = [
    ("the whole page on one line", wml(cgi_row("down", "db1") + cgi_row("critical", "web1", "Load")).replace("\n", ""),
     screen_of(BOTH)),
    ("the whole page on one line, carriage returns alone",
     wml(cgi_row("down", "db1") + cgi_row("critical", "web1", "Load")).replace("\n", "\r"), screen_of(BOTH)),
    ("two rows joined by <br/>", wml(DWN_DB1 + "<br/>" + CRI_WEB1 + "\n"), screen_of(BOTH)),
    ("a row split over two lines", wml(DWN_DB1 + "\n<tr><td>CRI</td>\n<td>web1/Load</td></tr>\n"), screen_of(BOTH)),
    ("a third cell", wml("<tr><td>CRI</td><td>web1/Load</td><td>since 3h</td></tr>\n"),
     screen_of([("critical", "web1", "Load")])),
    ("unescaped names",
     row_page([("down", "Joe's unr box"), ("critical", "web1", "Bob's disk"), ("warning", "web1", "it's a dwn test"),
               ("unknown", "web2", "Ann's Cri check")]),
     screen_of([("down", "Joe's unr box"), ("critical", "web1", "Bob's disk"), ("warning", "web1", "it's a dwn test"),
                ("unknown", "web2", "Ann's Cri check")])),
    ("the rendition's names with character references",
     rendition_page([("critical", "Tom &amp; Jerry", "Joe&#39;s &lt;disk&gt;")]),
     screen_of([("critical", "Tom & Jerry", "Joe's <disk>")])),
    ("a row without its host, nothing else", wml("<tr><td>CRI</td><td>/Load</td></tr>\n"), banner_screen()),
    # The list with a row it cannot read: the report of what was read, and
    # the count of unread rows, never a calm screen.
    ("a status cell on a row that gives no problem", wml("<tr><td>web1</td><td>CRI</td><td>Load</td></tr>\n"),
     ExpectedScreen(80, 24, WHITE, BLACK).put(23, 70, " 1 unread ", WHITE, RED, bold=True)),
    ("a zero byte before the rows", wml("\0" + DWN_DB1 + "\n"), banner_screen()),
    ("a zero byte between the rows", wml(DWN_DB1 + "\n\0" + CRI_WEB1 + "\n"), banner_screen()),
    ("the index card", index_card(), banner_screen()),
    ("the totals page", totals_page(), banner_screen()),
    ("a bare card", PAGE_HEAD + CARD_END, banner_screen()),
    ("the status CGI's all-clear", row_page([]), blank_screen()),
]

# Sequences the row form cannot carry inside a name: they would end or open
# an element of their own.
AMBIGUOUS = ("'/>", "<go", "<tr", "</tr", "<td", "</td", "<!--", "<postfield", "value='")
PIECES = ("DWN", "unr", "Cri", "WRN", "unk", "#comments", "é", "ü", "ß", "'", '"', "<", ">", "/", "&", " ", "&amp;")


def random_name(rng, html_page):
    while True:
        parts = [rng.choice(PIECES) if rng.random() < 0.4 else chr(rng.randrange(0x21, 0x7F))
                 for _ in range(rng.randrange(1, 8))]
        name = "".join(parts).strip()
        if not name or len(name) > 20 or any(a in name.lower() for a in AMBIGUOUS):
            continue
        # The rendition's cell parts host from service at the first '/'.
        if html_page and "/" in name:
            continue
        return name


def random_page(rng, html_page):
    """Problems for one screen: a DOWN host, an UNREACHABLE host and five
    hosts with two services each, every name distinct."""
    names = set()

    def fresh():
        while True:
            name = random_name(rng, html_page)
            if name not in names:
                names.add(name)
                return name
    problems = [("down", fresh()), ("unreachable", fresh())]
    for _ in range(5):
        host = fresh()
        for _ in range(2):
            problems.append((rng.choice(("warning", "critical", "unknown")), host, fresh()))
    return problems


def as_rendition(problems):
    return rendition_page([(p[0],) + tuple(html.escape(n) for n in p[1:]) for p in problems])


class RowReadingTest(E2ETestCase):
    def test_each_page_row_as_the_server_wrote_it(self):
        self.assertEachPageFrame(CASES)

    def test_random_names_from_the_printable_set(self):
        rng = random.Random(2212)
        bed = self.bed()
        terminal = self.monitor(bed.base_url, "-s", "0", newcgi=False)
        names = 0
        for number in range(24):
            html_page = number % 3 == 2
            problems = random_page(rng, html_page)
            names += sum(len(p) - 1 for p in problems)
            page = as_rendition(problems) if html_page else row_page(problems)
            with self.subTest(page=number):
                bed.respond(page=page)
                self.wait_for_cycles(bed, 2, terminal)
                self.assertScreen(terminal, screen_of(problems), what="page %d: %r" % (number, problems))
        self.assertGreater(names, 300)


def joined(rows, between=""):
    """The status CGI's rows on one line, as a page minified on its way has
    them."""
    return between.join(row.rstrip("\n") for row in rows) + "\n"


# Where one row ends and the next begins, which a name may hold too.
MEETING = "</td></tr><tr><td><anchor title='"
BROKEN_DOWN = cgi_row("down", "db2").replace("value='db2'", "value='db2-x'")

JOINED_CASES = [
    ("two rows joined", wml(joined([cgi_row("down", "db1"), cgi_row("critical", "web1", "Load")])),
     screen_of(BOTH)),
    ("two rows joined across <br/>",
     wml(joined([cgi_row("down", "db1"), cgi_row("critical", "web1", "Load")], "<br/>")), screen_of(BOTH)),
    ("three rows, names holding the row's markup and a status word",
     wml(joined([cgi_row("unreachable", "gw</td></tr><tr><td>CRI"), cgi_row("warning", "web1", "x" + MEETING + "y"),
                 cgi_row("critical", "web1", "'/>DWN")], "<br/>")),
     screen_of([("unreachable", "gw</td></tr><tr><td>CRI"), ("warning", "web1", "x" + MEETING + "y"),
                ("critical", "web1", "'/>DWN")])),
    # The broken row may be a DOWN host: the screen is red, and counts it.
    ("a broken row beside one read", wml(joined([BROKEN_DOWN, cgi_row("critical", "web1", "Load")])),
     ExpectedScreen(80, 24, WHITE, RED).label(0, 0, "web1", BLACK, GREEN).label(1, 2, "CRITICAL", BLACK, RED)
     .service(1, 12, "Load").put(23, 70, " 1 unread ", WHITE, RED, bold=True)),
]


class JoinedRowsTest(E2ETestCase):
    def test_rows_joined_on_one_line_each_drawn(self):
        self.assertEachPageFrame(JOINED_CASES)


class OtherCardsTest(E2ETestCase):
    """A server value with a query: the CGI answers one of its other cards."""

    def check(self, conf):
        env = {"PATH": "/usr/bin:/bin", "LANG": "C.UTF-8"}
        return subprocess.run([self.binary, "-t", "-c", conf], cwd=self.folder(), env=env,
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=60, text=True)

    def test_cards_named_and_never_calm(self):
        path = "/cgi-bin/statuswml.cgi"
        # (query in the server value, the card it gets, what -t names)
        cases = [
            ("", None, None),
            ("?", "index", "the server's index card: remove the query from the server value"),
            ("?host=", "host", "a host's card: remove the query from the server value"),
            ("?style=processinfo&x=", "process", "the server's process card: remove the query from the server value"),
        ]
        for query, card, words in cases:
            with self.subTest(query=query):
                # A bed of its own: the monitor's requests are counted alone.
                bed = self.bed()
                bed.answer_by_query(row_page([]))
                server = bed.base_url + (path + query if query else "")
                conf = write_config(self.folder(), server, name="orvek-%s.conf" % card)
                result = self.check(conf)
                if card is None:
                    self.assertEqual(result.returncode, 0, result.stdout)
                    self.assertIn("all clear", result.stdout)
                    continue
                self.assertNotEqual(result.returncode, 0, result.stdout)
                self.assertIn(words, result.stdout)
                self.assertNotIn("all clear", result.stdout)
                terminal = self.monitor(server, "-s", "0", newcgi=False)
                self.wait_for_cycles(bed, 2, terminal)
                self.assertScreen(terminal, banner_screen(), what="the frame of the %s card" % card)

    def test_zero_byte_named_by_its_place(self):
        bed = self.bed()
        page = wml(DWN_DB1 + "\n\0" + CRI_WEB1 + "\n")
        bed.set_page(page)
        result = self.check(write_config(self.folder(), bed.base_url))
        self.assertNotEqual(result.returncode, 0, result.stdout)
        self.assertIn("a zero byte at offset %d" % page.index("\0"), result.stdout)


if __name__ == "__main__":
    unittest.main()
