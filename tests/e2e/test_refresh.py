"""The refresh cycle seen from outside: how often the server is asked, and
how the screen follows what it says."""

import time
import unittest

from statusbed import status_page
from support import ALARM_PAGE, E2ETestCase, ExpectedScreen, alarm_screen
from terminal import BLACK, GREEN, WHITE, YELLOW

QUIET_PAGE = status_page([("warning", "mail", "Queue")])


def quiet_screen():
    return (ExpectedScreen(80, 24, WHITE, BLACK)
            .label(0, 0, "mail", BLACK, GREEN)
            .label(1, 2, "WARNING", BLACK, YELLOW).service(1, 11, "Queue"))


class RefreshTest(E2ETestCase):
    def test_one_request_per_interval(self):
        bed = self.bed()
        bed.set_page(QUIET_PAGE)
        terminal = self.monitor(bed.base_url, "-s", "1")
        terminal.wait_for_text(" mail ")
        before = len(bed.requests())
        time.sleep(6)
        asked = len(bed.requests()) - before
        self.assertGreaterEqual(asked, 4)
        self.assertLessEqual(asked, 8)

    def test_interval_in_hexadecimal(self):
        bed = self.bed()
        bed.set_page(QUIET_PAGE)
        terminal = self.monitor(bed.base_url, "-s", "0x3c")  # one minute, read as hexadecimal
        terminal.wait_for_text(" mail ")
        time.sleep(3)
        self.assertEqual(len(bed.requests()), 1)

    def test_screen_follows_the_server_between_cycles(self):
        bed = self.bed()
        bed.respond(page=ALARM_PAGE)
        terminal = self.monitor(bed.base_url, "-s", "1")
        self.assertScreen(terminal, alarm_screen(), what="the alarm frame")

        # The old labels are cleared and the background is black again.
        bed.respond(page=QUIET_PAGE)
        self.assertScreen(terminal, quiet_screen(), what="the quiet frame")

        # While a slow answer is awaited the last frame stays up whole.
        bed.respond(page=ALARM_PAGE, delay=4)
        quiet = quiet_screen()
        waiting_until = time.monotonic() + 2.5
        while time.monotonic() < waiting_until:
            screen = terminal.screen()
            self.assertEqual(quiet.mismatches(screen), [], screen.dump())
            time.sleep(0.2)
        self.assertScreen(terminal, alarm_screen(), timeout=10, what="the alarm frame after the slow answer")

        # A failed cycle, then the report is back.
        bed.respond(page=ALARM_PAGE, status=503)
        self.assertBanner(terminal)
        bed.respond(page=QUIET_PAGE)
        self.assertScreen(terminal, quiet_screen(), what="the quiet frame after the banner")


if __name__ == "__main__":
    unittest.main()
