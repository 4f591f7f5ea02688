"""-u on the banner screen: the row under the banner says, centred and in
the background's colours, why the banner is up and since when: the end of
the first failed fetch of the run of failures, kept while it lasts and
started afresh after a good frame. Without -u the banner screen stays as it
was."""

import os
import re
import time
import unittest

from support import (BANNER, ONE_PROBLEM_PAGE, PASSWORD, USER, E2ETestCase, ExpectedScreen, banner_screen,
                     dead_url, write_config)
from terminal import BLACK, RED, WHITE

# Three hours east of UTC, without summer time: the times shown must be
# this zone's, not UTC.
ZONE = {"TZ": "XYZ-3"}
ZONE_OFFSET = 3 * 3600
SINCE = re.compile(r"^(.*), since (\d\d):(\d\d):(\d\d)$")
CLOCK = re.compile(r" (\d\d):(\d\d):(\d\d) $")
AGE_BANNER = " Server data is 60 min old! "


def zone_seconds(epoch):
    return int(epoch + ZONE_OFFSET) % 86400


def clock_seconds(groups):
    hours, minutes, seconds = (int(part) for part in groups)
    return hours * 3600 + minutes * 60 + seconds


def banner_with(text, width=80, height=24):
    expected = ExpectedScreen(width, height, WHITE, BLACK)
    return expected.put(height // 2, (width - len(text)) // 2, text, WHITE, RED)


class ReasonLineTest(E2ETestCase):
    def config(self, url, lines=(), **settings):
        conf = write_config(self.folder(), url, **settings)
        with open(conf, "a") as f:
            f.writelines(line + "\n" for line in lines)
        os.chmod(conf, 0o600)
        return conf

    def assertReasonLine(self, terminal, reason, banner=BANNER, width=80, height=24, timeout=15.0):
        """Waits for the banner screen with the reason line under it (row
        under the banner, centred, white on black) and the clock at the end
        of the last row, every other cell blank; returns (since, clock) in
        seconds since midnight, as shown."""
        last = []
        found = {}

        def matches(screen):
            row = screen.line(height // 2 + 1).strip()
            since = SINCE.match(row)
            clock = CLOCK.search(screen.line(height - 1))
            if not since or not clock:
                last[:] = ["no reason line with its time, or no clock: %r" % row]
                return False
            text = since.group(0)
            if since.group(1) != reason:
                last[:] = ["reason %r, expected %r" % (since.group(1), reason)]
                return False
            expected = banner_with(banner, width, height)
            expected.put(height // 2 + 1, (width - len(text)) // 2, text, WHITE, BLACK)
            expected.put(height - 1, width - 10, clock.group(0), WHITE, BLACK)
            last[:] = expected.mismatches(screen)
            found["since"] = clock_seconds(since.groups()[1:])
            found["clock"] = clock_seconds(clock.groups())
            return not last

        try:
            terminal.wait_for(matches, timeout, "the reason line %r" % reason)
        except AssertionError as error:
            raise AssertionError("%s\nfirst differences:\n  %s" % (error, "\n  ".join(last[:15]))) from None
        return found["since"], found["clock"]

    def assertNear(self, seconds, before, after):
        low, high = zone_seconds(before) - 1, zone_seconds(after) + 1
        self.assertTrue(low <= seconds <= high or (low > high and (seconds >= low or seconds <= high)),
                        "time %d not within [%d, %d]" % (seconds, low, high))

    def assertKeptWhileFailing(self, terminal, reason, first_since, banner=BANNER):
        """A few fetches later the clock has moved on and the time under
        the banner has not."""
        time.sleep(2.5)
        since, clock = self.assertReasonLine(terminal, reason, banner)
        self.assertEqual(since, first_since, "the run of failures is dated from its first failed fetch")
        self.assertNotEqual(clock, first_since, "the clock should have moved on")

    def test_each_reason_with_the_time_of_the_first_failure(self):
        refused = dead_url()
        wrong_password = self.bed(auth="basic", users={USER: PASSWORD})
        wrong_password.set_page(ONE_PROBLEM_PAGE)
        self_signed = self.bed(https=True)
        self_signed.set_page(ONE_PROBLEM_PAGE)
        cases = (
            ("401", wrong_password.base_url, dict(username=USER, password="not-" + PASSWORD), (),
             "HTTP 401: user or password refused"),
            ("refused", refused, {}, (), "connection refused"),
            ("unknown CA", self_signed.base_url, {}, ("verify yes",), "certificate: unknown CA"),
        )
        for case, url, settings, lines, reason in cases:
            with self.subTest(case):
                before = time.time()
                terminal = self.run_orvek("-c", self.config(url, lines, **settings), "-u", "-s", "1", env=ZONE)
                since, _ = self.assertReasonLine(terminal, reason)
                self.assertNear(since, before, time.time())
                self.assertKeptWhileFailing(terminal, reason, since)

    def test_the_data_age_and_a_new_run_after_a_good_frame(self):
        bed = self.bed()
        bed.set_page(ONE_PROBLEM_PAGE)
        bed.set_data_age(age=3600)
        before = time.time()
        terminal = self.run_orvek("-c", self.config(bed.base_url, ("maxage 300",)), "-u", "-s", "1", env=ZONE)
        reason = "status data older than maxage 300 s"
        first, _ = self.assertReasonLine(terminal, reason, AGE_BANNER)
        self.assertNear(first, before, time.time())
        self.assertKeptWhileFailing(terminal, reason, first, AGE_BANNER)

        # A good frame ends the run; the next failure starts one of its own.
        bed.set_data_age(age=2)
        terminal.wait_for(lambda s: s.line(0).startswith(" web1 ") and not s.line(13).strip(), 10,
                          "the report from fresh data, no reason line")
        time.sleep(1.5)
        before = time.time()
        bed.set_data_age(age=3600)
        again, _ = self.assertReasonLine(terminal, reason, AGE_BANNER)
        self.assertNear(again, before, time.time())

    def test_a_new_cause_within_the_run(self):
        bed = self.bed()
        bed.set_page(ONE_PROBLEM_PAGE)
        bed.respond(status=503)
        before = time.time()
        terminal = self.run_orvek("-c", self.config(bed.base_url), "-u", "-s", "1", env=ZONE)
        first, _ = self.assertReasonLine(terminal, "HTTP 503: server unavailable")
        self.assertNear(first, before, time.time())
        # Another cause, the run going on: since when it holds, and since
        # when no list came.
        time.sleep(1.5)
        before = time.time()
        bed.respond(status=500)
        pattern = re.compile(r"^HTTP 500: server error, since (\d\d):(\d\d):(\d\d) "
                             r"\(no list since (\d\d):(\d\d):(\d\d)\)$")
        found = {}

        def both_times(screen):
            line = screen.line(13)
            text = line.strip()
            match = pattern.match(text)
            if match:
                found["column"] = len(line) - len(line.lstrip())
                found["text"] = text
                found["cause"] = clock_seconds(match.groups()[:3])
                found["run"] = clock_seconds(match.groups()[3:])
            return bool(match)

        terminal.wait_for(both_times, 15, "the reason line with both times")
        self.assertEqual(found["run"], first, "the run is dated from its first failed fetch")
        self.assertNear(found["cause"], before, time.time())
        self.assertEqual(found["column"], (80 - len(found["text"])) // 2, "centred")

    def test_a_json_answer_that_is_an_html_page(self):
        bed = self.bed()
        bed.set_page(ONE_PROBLEM_PAGE)
        bed.set_data_age(body="<!DOCTYPE html>\n<html><head><title>Sign in</title></head><body></body></html>\n")
        terminal = self.run_orvek("-c", self.config(bed.base_url, ("maxage 300",)), "-u", "-s", "1", env=ZONE)
        self.assertReasonLine(terminal, "JSON status: not JSON (an HTML page)", " Server data age unknown! ")

    def test_without_u_the_banner_screen_is_unchanged(self):
        bed = self.bed(auth="basic", users={USER: PASSWORD})
        bed.set_page(ONE_PROBLEM_PAGE)
        terminal = self.run_orvek("-c", self.config(bed.base_url, username=USER, password="wrong"), "-s", "1")
        self.assertBanner(terminal)
        # A few refreshes later, still the banner alone.
        time.sleep(2.5)
        self.assertBanner(terminal, timeout=1)


if __name__ == "__main__":
    unittest.main()
