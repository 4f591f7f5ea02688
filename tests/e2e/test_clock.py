"""-u: the last row ends with the time at which the fetch of the frame shown
ended, in white on the screen's background, on the report, the all-clear
screen and the banner; with -m the time stands just left of the note; a
resize lays the frame out again with the fetch's time, not its own."""

import re
import time
import unittest

from statusbed import status_page
from support import (ALARM_PAGE, E2ETestCase, ExpectedScreen, alarm_screen, banner_screen, blank_screen,
                     dead_url, one_problem_screen, ONE_PROBLEM_PAGE)
from terminal import BLACK, RED, WHITE

# Three hours east of UTC, without summer time: the clock must show this
# zone's time, not UTC.
ZONE = {"TZ": "XYZ-3"}
ZONE_OFFSET = 3 * 3600
CLOCK = re.compile(r" (\d\d):(\d\d):(\d\d) $")


def zone_seconds(epoch):
    """Seconds since midnight in ZONE at the given time."""
    return int(epoch + ZONE_OFFSET) % 86400


def shown_seconds(screen, column_end=None):
    """The clock that ends the last row (or ends at column_end), as seconds
    since midnight; None when there is none."""
    line = screen.line(screen.height - 1)
    if column_end is not None:
        line = line[:column_end]
    found = CLOCK.search(line)
    if not found:
        return None
    hours, minutes, seconds = (int(part) for part in found.groups())
    return hours * 3600 + minutes * 60 + seconds


def with_clock(expected, clock, end=None):
    """expected with the clock's text at the end of its last row (or ending
    at column end), in the background's colours."""
    end = expected.width if end is None else end
    return expected.put(expected.height - 1, end - len(clock), clock, *expected.background)


class ClockTest(E2ETestCase):
    def assertScreenWithClock(self, terminal, expected, end=None, timeout=10.0, what="the screen with its clock"):
        """Waits for a screen that is expected(screen) with the clock it shows
        itself (ten cells ending at column end) put in; returns it. The
        clock moves with every fetch, so both come from one capture."""
        last = []

        def matches(screen):
            stop = screen.width if end is None else end
            clock = screen.line(screen.height - 1)[stop - 10:stop]
            if shown_seconds(screen, stop) is None:
                last[:] = ["no clock ending at column %d" % stop]
                return False
            last[:] = with_clock(expected(screen), clock, stop).mismatches(screen)
            return not last

        try:
            return terminal.wait_for(matches, timeout, what)
        except AssertionError as error:
            raise AssertionError("%s\nfirst differences:\n  %s" % (error, "\n  ".join(last[:15]))) from None

    def assertClockNear(self, seconds, before, after):
        """seconds (since midnight in ZONE) lies between the two times, a
        second's rounding allowed."""
        low, high = zone_seconds(before) - 1, zone_seconds(after) + 1
        self.assertTrue(low <= seconds <= high or (low > high and (seconds >= low or seconds <= high)),
                        "clock %d not within [%d, %d]" % (seconds, low, high))

    def test_every_screen_ends_with_the_time_of_its_fetch(self):
        bed = self.bed()
        cases = (("the report", ONE_PROBLEM_PAGE, one_problem_screen()),
                 ("the alarm report", ALARM_PAGE, alarm_screen()),
                 ("the all-clear screen", status_page([]), blank_screen()))
        bed.set_page(ONE_PROBLEM_PAGE)
        terminal = self.monitor(bed.base_url, "-u", "-s", "1", env=ZONE)
        for case, page, expected in cases:
            with self.subTest(case):
                bed.set_page(page)
                before = time.time()
                self.wait_for_cycles(bed, 2, terminal)
                screen = self.assertScreenWithClock(terminal, lambda _: expected, what="%s with the clock" % case)
                self.assertClockNear(shown_seconds(screen), before, time.time())

    def test_the_banner_screen_and_the_hidden_note(self):
        terminal = self.monitor(dead_url(), "-u", "-m", env=ZONE)
        before = time.time()
        def banner_with_reason(screen):
            # The row under the banner says why and since when (its time
            # is checked in test_reason_line).
            line = screen.line(13).strip()
            if not line.startswith("connection refused, since "):
                return banner_screen()
            return banner_screen().put(13, (80 - len(line)) // 2, line, WHITE, BLACK)

        screen = self.assertScreenWithClock(terminal, banner_with_reason,
                                            what="the banner with its reason and the clock, no note")
        self.assertClockNear(shown_seconds(screen), before - 2, time.time())

        # 100 DOWN hosts at 80x24: 76 of them beyond the edge.
        bed = self.bed()
        bed.set_page(status_page([("down", "h%02d" % i) for i in range(100)]))
        terminal = self.monitor(bed.base_url, "-u", "-m", env=ZONE)

        def counted(_):
            expected = ExpectedScreen(80, 24, WHITE, RED)
            for i in range(24):
                expected.label(i % 12 * 2, i // 12 * 50, "h%02d" % i, BLACK, WHITE)
            return expected.put(23, 68, " +76 hidden ", WHITE, RED, bold=True)

        self.assertScreenWithClock(terminal, counted, end=68, what="the clock just left of the note")

    def test_a_resize_keeps_the_time_of_the_fetch(self):
        bed = self.bed()
        bed.set_page(ONE_PROBLEM_PAGE)
        terminal = self.monitor(bed.base_url, "-u", "-s", "3600", env=ZONE)
        screen = terminal.wait_for(lambda s: shown_seconds(s) is not None, 10, "a clock")
        fetched = shown_seconds(screen)
        # Long enough that a clock read at the resize would differ.
        time.sleep(2.5)
        for width, height in ((100, 30), (60, 12), (80, 24)):
            with self.subTest(size="%dx%d" % (width, height)):
                terminal.resize(width, height)
                screen = terminal.wait_for(
                    lambda s: s.width == width and shown_seconds(s) is not None and
                    s.line(height - 1).endswith(" ") and len(s.line(height - 1)) == width, 5,
                    "the clock at the new size")
                self.assertEqual(shown_seconds(screen), fetched)
        self.assertEqual(len(bed.requests()), 1)


if __name__ == "__main__":
    unittest.main()
