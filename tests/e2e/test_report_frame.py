"""The report as a person sees it: whole screens, cell by cell."""

import os
import unittest

from statusbed import status_page
from support import E2ETestCase, ExpectedScreen
from terminal import BLACK, GREEN, MAGENTA, RED, WHITE, YELLOW


class WorkedFrameTest(E2ETestCase):
    def test_down_unreachable_and_service_groups_on_the_alarm_background(self):
        bed = self.bed(auth="digest", users={"ops": "n0c-pass"})
        bed.set_page(status_page([
            ("down", "db1"),
            ("critical", "web1", "Load"),
            ("warning", "web1", "Disk"),
            ("unreachable", "gw"),
            ("unknown", "mail", "SMTP"),
        ]))
        terminal = self.monitor(bed.base_url, username="ops", password="n0c-pass", digest=True)

        # A host is down: every cell not drawn on is white on red.
        expected = ExpectedScreen(80, 24, WHITE, RED)
        expected.label(0, 0, "db1", BLACK, WHITE)
        expected.label(2, 0, "web1", BLACK, GREEN)
        expected.label(3, 2, "CRITICAL", BLACK, RED).service(3, 12, "Load")
        expected.label(4, 2, "WARNING", BLACK, YELLOW).service(4, 11, "Disk")
        expected.label(6, 0, "gw", BLACK, MAGENTA)
        expected.label(7, 0, "mail", BLACK, GREEN)
        expected.label(8, 2, "UNKNOWN", BLACK, MAGENTA).service(8, 11, "SMTP")
        self.assertScreen(terminal, expected)
        self.assertEqual({r["user"] for r in bed.requests()}, {"ops"})


class RunAcrossColumnsTest(E2ETestCase):
    def test_a_run_that_meets_the_bottom_goes_on_under_its_host_again(self):
        # Forty hosts with CRITICAL HTTP and WARNING Disk at 160x45: groups
        # of four rows, so h11's label falls on the last row and its run
        # goes on at the top of the next column, under h11 again.
        bed = self.bed()
        problems = []
        for i in range(40):
            problems += [("critical", "h%02d" % i, "HTTP"), ("warning", "h%02d" % i, "Disk")]
        bed.set_page(status_page(problems))
        terminal = self.monitor(bed.base_url, width=160, height=45)
        expected = ExpectedScreen(160, 45, WHITE, BLACK)

        def put(row, column, text, *colours, bold=False):
            # The right edge cuts the labels of the column at 150.
            if column < 160:
                expected.put(row, column, text[:160 - column], *colours, bold=bold)

        for i in range(40):
            name = "h%02d" % i
            column, row = 50 * (i // 11), 4 * (i % 11)
            if i % 11 == 0 and i > 0:
                # Its label on the previous column's last row, alone.
                put(44, column - 50, " %s " % name, BLACK, GREEN)
            put(row, column, " %s " % name, BLACK, GREEN)
            put(row + 1, column + 2, " CRITICAL ", BLACK, RED)
            put(row + 1, column + 12, " HTTP", WHITE, BLACK, bold=True)
            put(row + 2, column + 2, " WARNING ", BLACK, YELLOW)
            put(row + 2, column + 11, " Disk", WHITE, BLACK, bold=True)
        self.assertScreen(terminal, expected, what="each run under its host")


class NamesAsTextTest(E2ETestCase):
    def test_control_bytes_are_shown_and_utf8_names_keep_their_letters(self):
        # A carriage return in a name must not send the cursor back over the
        # label before it; letters beyond ASCII are letters, not blanks.
        bed = self.bed()
        bed.set_page(status_page([
            ("critical", "gamma\rQQ", "Load\tX"),
            ("warning", "caf\u00e9", "Disk \u00fc"),
        ]))
        terminal = self.monitor(bed.base_url)

        expected = ExpectedScreen(80, 24, WHITE, BLACK)
        expected.label(0, 0, "gamma^MQQ", BLACK, GREEN)
        expected.label(1, 2, "CRITICAL", BLACK, RED).service(1, 12, "Load^IX")
        expected.label(3, 0, "caf\u00e9", BLACK, GREEN)
        expected.label(4, 2, "WARNING", BLACK, YELLOW).service(4, 11, "Disk \u00fc")
        self.assertScreen(terminal, expected)


class ColumnsAndExclusionsTest(E2ETestCase):
    def test_fifty_column_layout_on_a_short_wide_screen_with_an_exclude_file(self):
        bed = self.bed()
        bed.set_page(status_page([
            ("down", "old-db"),            # excluded: neither drawn nor red
            ("critical", "h01", "Load"),
            ("warning", "h01", "Disk"),
            ("critical", "h02", "Load"),
            ("warning", "h02", "Backup"),  # excluded service
            ("unknown", "h03", "Ping"),
            ("critical", "h04", "Load"),   # excluded host
            ("warning", "h05", "Swap"),
            ("critical", "h05", "Load"),
            ("critical", "h06", "Ping"),
            ("warning", "h07", "Disk"),
            ("warning", "h08", "Ping"),
            ("critical", "h09", "Disk"),
            ("critical", "h09", "nightly BACKUP run"),  # excluded service
            ("critical", "h09", "Ping"),
        ]))
        folder = self.folder()
        exclude = os.path.join(folder, "exclude")
        with open(exclude, "w") as f:
            f.write("old-db\nh04\nbackup\n")
        terminal = self.monitor(bed.base_url, "-s", "1", "-e", exclude, width=120, height=10)

        # Ten rows: columns start at 0, 50 and 100, each filled from row 0.
        expected = ExpectedScreen(120, 10, WHITE, BLACK)
        for column, groups in ((0, [("h01", [("CRITICAL", RED, "Load"), ("WARNING", YELLOW, "Disk")]),
                                    ("h02", [("CRITICAL", RED, "Load")]),
                                    ("h03", [("UNKNOWN", MAGENTA, "Ping")])]),
                               (50, [("h05", [("WARNING", YELLOW, "Swap"), ("CRITICAL", RED, "Load")]),
                                     ("h06", [("CRITICAL", RED, "Ping")]),
                                     ("h07", [("WARNING", YELLOW, "Disk")])]),
                               (100, [("h08", [("WARNING", YELLOW, "Ping")]),
                                      ("h09", [("CRITICAL", RED, "Disk")]),
                                      ("h09", [("CRITICAL", RED, "Ping")])])):
            row = 0
            for host, services in groups:
                expected.label(row, column, host, BLACK, GREEN)
                row += 1
                for word, colour, name in services:
                    expected.label(row, column + 2, word, BLACK, colour)
                    expected.service(row, column + 2 + len(word) + 2, name)
                    row += 1
                row += 1
        self.assertScreen(terminal, expected)


def busy_page():
    """Ten hosts with one CRITICAL service each, then a host whose two
    service names are long."""
    problems = [("critical", "app%02d" % i, "HTTP") for i in range(10)]
    problems += [("critical", "web-frontend-01", "HTTPS certificate expiry check"),
                 ("warning", "web-frontend-01", "Disk /var/lib/postgresql")]
    return status_page(problems)


def busy_screen(width, height, cut):
    """The busy page: groups of three rows down each 50-column report
    column; cut is what shows of the two long names."""
    expected = ExpectedScreen(width, height, WHITE, BLACK)
    row = column = 0
    for i in range(10):
        if row + 1 >= height:
            row, column = 0, column + 50
        expected.label(row, column, "app%02d" % i, BLACK, GREEN)
        expected.label(row + 1, column + 2, "CRITICAL", BLACK, RED).service(row + 1, column + 12, "HTTP")
        row += 3
    if row + 2 >= height:
        row, column = 0, column + 50
    expected.label(row, column, "web-frontend-01", BLACK, GREEN)
    expected.label(row + 1, column + 2, "CRITICAL", BLACK, RED).service(row + 1, column + 12, cut[0])
    expected.label(row + 2, column + 2, "WARNING", BLACK, YELLOW).service(row + 2, column + 11, cut[1])
    return expected


# Three wide characters, six cells.
WIDE = "\u76e3\u8996\u5bfe"


class ColumnEdgeTest(E2ETestCase):
    """Each report column owns its 50 cells: what does not fit in them is
    left out, and nothing runs into the next column or onto the next row."""

    def test_names_reaching_the_right_edge_stop_there(self):
        bed = self.bed()
        bed.set_page(busy_page())
        terminal = self.monitor(bed.base_url)
        # The long names start at columns 62 and 61 of the second report
        # column: the right edge leaves them 18 and 19 cells. app03 (row 9) and
        # its service keep their places.
        self.assertScreen(terminal, busy_screen(80, 24, ("HTTPS certificate", "Disk /var/lib/post")))

    def test_names_longer_than_their_column_stop_where_the_next_begins(self):
        bed = self.bed()
        problems = [("critical", "alpha", "HTTPS certificate expiry check for the public load balancer pool")]
        problems += [("critical", "b%d" % i, "HTTP") for i in range(1, 7)]
        bed.set_page(status_page(problems))
        terminal = self.monitor(bed.base_url, width=150, height=8)

        expected = ExpectedScreen(150, 8, WHITE, BLACK)
        expected.label(0, 0, "alpha", BLACK, GREEN)
        expected.label(1, 2, "CRITICAL", BLACK, RED).service(1, 12, "HTTPS certificate expiry check for th")
        for i, (row, column) in enumerate([(3, 0), (6, 0), (0, 50), (3, 50), (6, 50), (0, 100)], start=1):
            expected.label(row, column, "b%d" % i, BLACK, GREEN)
            expected.label(row + 1, column + 2, "CRITICAL", BLACK, RED).service(row + 1, column + 12, "HTTP")
        self.assertScreen(terminal, expected)

    def test_wide_characters_are_cut_whole(self):
        # In UTF-8, names of wide characters (two cells each) that do not fit
        # end on the last whole character, one cell short of the end.
        long_service = WIDE * 10  # 60 cells from column 12: 38 are free
        long_host = WIDE * 9      # 54 cells from column 0: 50 are free
        edge_service = WIDE * 4   # 24 cells from column 62: 18 are free
        problems = [("critical", "alpha", long_service)]
        problems += [("critical", "b%d" % i, "HTTP") for i in range(1, 7)]
        problems += [("unreachable", long_host), ("critical", "c1", "HTTP"), ("critical", "c2", edge_service)]
        bed = self.bed()
        bed.set_page(status_page(problems))
        terminal = self.monitor(bed.base_url)

        expected = ExpectedScreen(80, 24, WHITE, RED)
        expected.label(0, 0, "alpha", BLACK, GREEN)
        expected.label(1, 2, "CRITICAL", BLACK, RED).service(1, 12, long_service[:18])
        for i in range(1, 7):
            expected.label(3 * i, 0, "b%d" % i, BLACK, GREEN)
            expected.label(3 * i + 1, 2, "CRITICAL", BLACK, RED).service(3 * i + 1, 12, "HTTP")
        # The label's own trailing space is left out with the rest.
        expected.put(21, 0, " " + long_host[:24], BLACK, MAGENTA)
        expected.label(22, 0, "c1", BLACK, GREEN)
        expected.label(23, 2, "CRITICAL", BLACK, RED).service(23, 12, "HTTP")
        expected.label(0, 50, "c2", BLACK, GREEN)
        expected.label(1, 52, "CRITICAL", BLACK, RED).service(1, 62, edge_service[:8])
        self.assertScreen(terminal, expected)


if __name__ == "__main__":
    unittest.main()
