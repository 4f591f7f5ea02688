"""When the page cannot be had, the screen shows the banner and nothing
else; when it can, the report and no banner."""

import unittest

from statusbed import padded_page
from support import ALARM_PAGE, BANNER, RECEIVE_LIMIT, E2ETestCase, dead_url

# Each page carries problem lines (ALARM_PAGE here): had the monitor taken a
# failed answer for a report, they would be on the screen instead of the
# banner.


class BannerTest(E2ETestCase):
    def test_failed_fetches_show_only_the_banner(self):
        # (case, how the bed answers)
        cases = [
            ("not found", dict(status=404)),
            ("server error", dict(status=500)),
            ("redirect not followed", dict(status=302, headers=[("Location", "/elsewhere")])),
            ("body one byte over the limit", dict(page=padded_page([("down", "db1")], RECEIVE_LIMIT + 1))),
            ("connection closed before Content-Length bytes", dict(claim_extra=100)),
        ]
        bed = self.bed()
        for case, answer in cases:
            with self.subTest(case):
                bed.respond(**{"page": ALARM_PAGE, **answer})
                terminal = self.monitor(bed.base_url)
                self.assertBanner(terminal)

    def test_nothing_listening(self):
        terminal = self.monitor(dead_url())
        self.assertBanner(terminal)

    def test_banner_is_centred_on_other_screen_sizes(self):
        # Row = height / 2, column = (width - 26) / 2, both rounded down.
        for width, height in ((101, 9), (26, 3)):
            with self.subTest(width=width, height=height):
                terminal = self.monitor(dead_url(), width=width, height=height)
                self.assertBanner(terminal, width, height)

    def test_page_of_exactly_the_limit_is_drawn(self):
        bed = self.bed()
        bed.set_page(padded_page([("critical", "web1", "Load")], RECEIVE_LIMIT))
        terminal = self.monitor(bed.base_url)
        screen = terminal.wait_for_text(" web1 ", timeout=15)
        self.assertFalse(screen.contains(BANNER.strip()), screen.dump())
        # A later cycle draws it again, still whole.
        self.wait_for_cycles(bed, 2, terminal, timeout=15)
        screen = terminal.wait_for_text(" web1 ")
        self.assertFalse(screen.contains(BANNER.strip()), screen.dump())

    def test_https_with_a_self_signed_certificate(self):
        bed = self.bed(auth="basic", users={"alice": "pw"}, https=True)
        bed.set_page(ALARM_PAGE)
        terminal = self.monitor(bed.base_url, username="alice", password="pw")
        screen = terminal.wait_for_text(" web1 ")
        self.assertTrue(screen.contains(" db1 "))
        self.assertFalse(screen.contains(BANNER.strip()), screen.dump())
        self.assertEqual(bed.requests()[0]["https"], "on")


if __name__ == "__main__":
    unittest.main()
