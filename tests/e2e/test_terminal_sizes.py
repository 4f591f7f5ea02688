"""The terminal changes size under the running monitor, or is absurdly
small or large: the next frames are laid out for the size the terminal has
now, and nothing crashes or hangs."""

import time
import unittest

from statusbed import status_page
from support import MIXED_PAGE, E2ETestCase, ExpectedScreen, dead_url
from terminal import BLACK, MAGENTA, RED, WHITE

COLUMN_WIDTH = 50


def unreachable_page(names):
    return status_page([("unreachable", name) for name in names])


def unreachable_screen(names, width, height):
    """UNREACHABLE labels fill each 50-character column top to bottom, then
    the next; a column that starts beyond the right edge is not drawn."""
    expected = ExpectedScreen(width, height, WHITE, RED)
    for i, name in enumerate(names):
        row, column = i % height, COLUMN_WIDTH * (i // height)
        if column < width:
            expected.label(row, column, name, BLACK, MAGENTA)
    return expected


class ResizeTest(E2ETestCase):
    def test_report_is_laid_out_again_for_the_new_size(self):
        names = ["h%02d" % i for i in range(30)]
        bed = self.bed()
        bed.set_page(unreachable_page(names))
        terminal = self.monitor(bed.base_url)
        self.assertScreen(terminal, unreachable_screen(names, 80, 24), what="the 80x24 frame")
        # Each size puts a different number of labels into a column; the
        # narrowest has no room for a second column.
        for width, height in ((120, 10), (60, 30), (40, 20), (1, 1), (80, 24)):
            with self.subTest(width=width, height=height):
                terminal.resize(width, height)
                if (width, height) == (1, 1):
                    # Nothing fits (see ExtremeSizeTest); it goes on cycling.
                    self.wait_for_cycles(bed, 3, terminal, 10)
                    continue
                self.assertScreen(terminal, unreachable_screen(names, width, height),
                                  what="the frame laid out for %dx%d" % (width, height))

    def test_banner_stays_centred(self):
        terminal = self.monitor(dead_url())
        self.assertBanner(terminal)
        for width, height in ((101, 9), (30, 40), (200, 50), (26, 3), (80, 24)):
            with self.subTest(width=width, height=height):
                terminal.resize(width, height)
                self.assertBanner(terminal, width, height)


class ResizeAtOnceTest(E2ETestCase):
    """With an hour between fetches, only the resize itself can bring the
    new layout: what was fetched is laid out again for each new size, and
    the server is not asked again."""

    SIZES = ((130, 40), (80, 24), (60, 10), (150, 30), (40, 20))

    def test_report_follows_each_size_without_a_fetch(self):
        names = ["h%02d" % i for i in range(30)]
        bed = self.bed()
        bed.set_page(unreachable_page(names))
        terminal = self.monitor(bed.base_url, "-s", "3600")
        self.assertScreen(terminal, unreachable_screen(names, 80, 24), what="the 80x24 frame")
        for width, height in self.SIZES:
            with self.subTest(width=width, height=height):
                terminal.resize(width, height)
                self.assertScreen(terminal, unreachable_screen(names, width, height), timeout=5,
                                  what="the frame laid out for %dx%d" % (width, height))
        self.assertEqual(len(bed.requests()), 1)

    def test_banner_is_centred_again_without_a_fetch(self):
        bed = self.bed()
        bed.respond(status=503)
        terminal = self.monitor(bed.base_url, "-s", "3600")
        self.assertBanner(terminal)
        for width, height in self.SIZES:
            with self.subTest(width=width, height=height):
                terminal.resize(width, height)
                self.assertBanner(terminal, width, height, timeout=5)
        self.assertEqual(len(bed.requests()), 1)

    def test_a_storm_of_resizes_asks_the_server_nothing(self):
        names = ["h%02d" % i for i in range(30)]
        bed = self.bed()
        bed.set_page(unreachable_page(names))
        terminal = self.monitor(bed.base_url, "-s", "3600")
        self.assertScreen(terminal, unreachable_screen(names, 80, 24), what="the 80x24 frame")
        for i in range(60):
            terminal.resize(*self.SIZES[i % len(self.SIZES)])
        terminal.resize(100, 12)
        self.assertScreen(terminal, unreachable_screen(names, 100, 12), timeout=5, what="the last size's frame")
        self.assertEqual(len(bed.requests()), 1)

    def test_resizes_keep_the_refresh_schedule(self):
        # Every 2 seconds: about three fetches in six seconds of resizing,
        # however many resizes come.
        bed = self.bed()
        bed.set_page(unreachable_page(["h1", "h2"]))
        terminal = self.monitor(bed.base_url, "-s", "2")
        terminal.wait_for_text(" h2 ")
        before = len(bed.requests())
        end = time.monotonic() + 6
        i = 0
        while time.monotonic() < end:
            terminal.resize(*self.SIZES[i % len(self.SIZES)])
            i += 1
            time.sleep(0.05)
        asked = len(bed.requests()) - before
        self.assertGreaterEqual(asked, 2, "%d resizes" % i)
        self.assertLessEqual(asked, 4, "%d resizes" % i)


class ExtremeSizeTest(E2ETestCase):
    def test_tiny_terminals(self):
        """Frames as fast as they come (-s 0), the report and the banner, on
        terminals too small for either."""
        bed = self.bed()
        bed.set_page(MIXED_PAGE)
        dead = dead_url()
        for width, height in ((1, 1), (1, 30), (80, 1), (2, 2), (25, 3)):
            with self.subTest(width=width, height=height):
                before = len(bed.requests())
                report = self.monitor(bed.base_url, "-s", "0", width=width, height=height)
                banner = self.monitor(dead, "-s", "0", width=width, height=height)
                report.wait_for(lambda s: len(bed.requests()) >= before + 30, 20, "30 frames")
                time.sleep(1)
                self.assertTrue(report.program_pids(), report.screen().text())
                self.assertTrue(banner.program_pids(), banner.screen().text())
                if (width, height) == (1, 1):
                    # The one cell is the bottom right corner, which curses
                    # does not write (the terminal would scroll).
                    continue
                # The first label, the DOWN host, is drawn at the top left in
                # black on white.
                corner = report.wait_for(lambda s: s[0][0].bg == WHITE, 5, "the DOWN label at the top left")[0][0]
                self.assertEqual((corner.fg, corner.bg), (BLACK, WHITE))

    def test_very_large_terminal(self):
        width, height = 500, 200
        # Ten columns of 200 rows: the last column, at 450, holds five.
        names = ["h%04d" % i for i in range(9 * height + 5)]
        bed = self.bed()
        bed.set_page(unreachable_page(names))
        terminal = self.monitor(bed.base_url, width=width, height=height)
        self.assertScreen(terminal, unreachable_screen(names, width, height), timeout=20,
                          what="the 500x200 frame")
        bed.respond(status=503)
        self.assertBanner(terminal, width, height)
        # A few more cycles, and it is still there.
        self.wait_for_cycles(bed, 3, terminal, 15)
        self.assertTrue(terminal.program_pids())


if __name__ == "__main__":
    unittest.main()
