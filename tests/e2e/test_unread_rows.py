"""Every status cell accounted for, through real HTTP and a real terminal:
names written raw into the status CGI's rows, whatever of the row's own
fixed text they hold, are read whole; a row whose places fit no reading is
counted unread (" N unread " on the wall, red where it may be a DOWN host;
listed by orvek -t); each problem drawn once. And a few hundred random names
built from the row's fixed fragments: each read exactly or told unread,
never lost, never read as other names."""

import random
import subprocess
import unittest

import test_row_reading as row_reading
from statusbed import CARD_END, EMPTY_TABLES, PAGE_HEAD, cgi_row, row_page
from support import E2ETestCase, ExpectedScreen, write_config
from terminal import BLACK, GREEN, RED, WHITE

USER, PASSWORD = "ops", "Pw-unread-77q"

# (case, problems as the server lists them, the problems drawn)
TABLE = [
    ("hosts whose names hold a cell's end and a go tag",
     [("unreachable", "gw</td>"), ("down", "db <go 1")], None),
    ("a service whose name holds a go tag", [("critical", "web1", "x<go y")], None),
    ("a DOWN host holding the value's end beside its prefix",
     [("down", "a'/>b"), ("critical", "a", "Load")], None),
    ("a host named as a whole postfield element",
     [("unreachable", "<postfield name='host' value='evil'/>")], None),
    ("a DOWN host holding a token and a go tag", [("down", "x>CRI<go y")], None),
    ("a host's services apart in the list",
     [("critical", "web1", "A"), ("warning", "mail", "B"), ("warning", "web1", "C"), ("unknown", "mail", "D")],
     None),
]

WORDS = {"down": "DOWN", "unreachable": "UNREACHABLE", "warning": "WARNING", "critical": "CRITICAL",
         "unknown": "UNKNOWN"}


def problem_line(problem):
    """The line orvek -t lists for a problem read."""
    if len(problem) == 2:
        return "problem: %s %s\n" % (WORDS[problem[0]], problem[1])
    return "problem: %s %s / %s\n" % (WORDS[problem[0]], problem[1], problem[2])


def disagreeing_row(kind, host):
    """A row whose host value is not its title's: no reading fits it."""
    return cgi_row(kind, host).replace("value='%s'" % host, "value='%s-x'" % host)


def page_of(rows):
    return PAGE_HEAD + rows + EMPTY_TABLES + CARD_END


def with_note(expected, count):
    note = " %d unread " % count
    return expected.put(23, 80 - len(note), note, WHITE, RED, bold=True)


FRAGMENTS = ["'", "'>", "/", "<go ", "'/>", "</td>", "<td>", "<tr>", "</tr>", "DWN", "CRI", "UNR", "a", "b",
             "<go href='statuswml.cgi' method='post'><postfield name='host' value='",
             "<postfield name='host' value='", "<postfield name='service' value='",
             "</go></anchor></td><td>", "'/></go></anchor></td><td>", "</td></tr>", "<tr><td><anchor title='"]


class UnreadRowsTest(E2ETestCase):
    def check(self, bed):
        conf = write_config(self.folder(), bed.base_url, username=USER, password=PASSWORD, newcgi=False)
        env = {"PATH": "/usr/bin:/bin", "LANG": "C.UTF-8"}
        return subprocess.run([self.binary, "-t", "-c", conf], cwd=self.folder(), env=env,
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=60, text=True)

    def auth_bed(self):
        return self.bed(auth="basic", users={USER: PASSWORD})

    def test_names_holding_the_rows_fixed_text(self):
        bed = self.auth_bed()
        pages = [(case, row_page(problems), problems) for case, problems, _ in TABLE]
        for case, page, problems in pages:
            with self.subTest(case, check="-t"):
                bed.set_page(page)
                result = self.check(bed)
                self.assertEqual(result.returncode, 0, result.stdout)
                self.assertTrue(result.stdout.startswith("ORVEK OK - "), result.stdout)
                self.assertIn(" problems=%d\n" % len(problems), result.stdout)
                for problem in problems:
                    self.assertIn(problem_line(problem), result.stdout)
                self.assertNotIn("unread row", result.stdout)
        terminal = self.monitor(bed.base_url, "-s", "0", newcgi=False, username=USER, password=PASSWORD)
        for case, page, problems in pages:
            with self.subTest(case, check="screen"):
                bed.set_page(page)
                self.wait_for_cycles(bed, 2, terminal)
                self.assertScreen(terminal, row_reading.screen_of(problems), what="the frame of %s" % case)

    def test_rows_that_fit_no_reading_are_told(self):
        bed = self.auth_bed()
        down = disagreeing_row("down", "db1")
        # Control bytes and the password in a row that cannot be read: shown
        # visible and masked.
        service = cgi_row("critical", "web1", "Load\x1b " + PASSWORD).replace("value='web1'", "value='web2'")
        cases = [
            # (case, page, exit status, first word, screen)
            ("an unread DOWN row beside a service read", row_page([("critical", "mail", "SMTP")]).replace(
                "<b>Svc Problems:", down + "<b>Svc Problems:"), 2, "CRITICAL",
             with_note(ExpectedScreen(80, 24, WHITE, RED).label(0, 0, "mail", BLACK, GREEN)
                       .label(1, 2, "CRITICAL", BLACK, RED).service(1, 12, "SMTP"), 1)),
            ("an unread DOWN row alone", page_of(down), 2, "CRITICAL",
             with_note(ExpectedScreen(80, 24, WHITE, RED), 1)),
            ("an unread service row on a page otherwise calm", page_of(service), 1, "WARNING",
             with_note(ExpectedScreen(80, 24, WHITE, BLACK), 1)),
            ("two unread rows", page_of(down + service), 2, "CRITICAL",
             with_note(ExpectedScreen(80, 24, WHITE, RED), 2)),
        ]
        for case, page, status, word, _ in cases:
            with self.subTest(case, check="-t"):
                bed.set_page(page)
                result = self.check(bed)
                self.assertEqual(result.returncode, status, result.stdout)
                self.assertTrue(result.stdout.startswith("ORVEK %s - " % word), result.stdout)
                self.assertIn(" unread", result.stdout.splitlines()[0])
                self.assertNotIn(PASSWORD, result.stdout)
                for row in (down, service):
                    if row in page:
                        shown = row.rstrip("\n").replace("\x1b", "^[").replace(PASSWORD, "********")
                        self.assertIn("unread row at byte %d (counted from 0): %s\n" % (page.index(row), shown),
                                      result.stdout)
        terminal = self.monitor(bed.base_url, "-s", "0", newcgi=False, username=USER, password=PASSWORD)
        for case, page, _, _, expected in cases:
            with self.subTest(case, check="screen"):
                bed.set_page(page)
                self.wait_for_cycles(bed, 2, terminal)
                self.assertScreen(terminal, expected, what="the frame of %s" % case)

    def test_random_names_from_the_rows_fragments(self):
        rng = random.Random(2929)

        def name():
            return "".join(rng.choice(FRAGMENTS) for _ in range(rng.randrange(1, 4)))

        bed = self.auth_bed()
        rows = exact = 0
        for number in range(16):
            # Twenty rows a page: orvek -t lists twenty problems.
            problems = []
            for _ in range(20):
                kind = rng.choice(("down", "unreachable", "warning", "critical", "unknown"))
                problems.append((kind, name()) if kind in ("down", "unreachable") else (kind, name(), name()))
            page = row_page(problems)
            bed.set_page(page)
            result = self.check(bed)
            with self.subTest(page=number):
                listed = [line + "\n" for line in result.stdout.splitlines() if line.startswith("problem: ")]
                unread = [line for line in result.stdout.splitlines() if line.startswith("unread row at byte ")]
                # Every row is a problem read or a row told unread; every
                # problem read is one the server listed, as written.
                self.assertEqual(len(listed) + len(unread), len(problems), result.stdout)
                expected = [problem_line(p) for p in problems]
                for line in listed:
                    self.assertIn(line, expected)
                rows += len(problems)
                exact += len(listed)
        print("\nfragment-name rows read exactly: %d of %d" % (exact, rows))
        self.assertGreaterEqual(rows, 300)


if __name__ == "__main__":
    unittest.main()
