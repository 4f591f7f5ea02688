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


if __name__ == "__main__":
    unittest.main()
