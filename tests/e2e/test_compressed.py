"""Pages the server compresses: the monitor offers every coding libcurl
decodes, draws the decoded page exactly as it draws the plain one, and holds
the decoded page, not the bytes on the wire, to the size limit."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

from statusbed import PYTHON, padded_page
from support import BANNER, E2ETestCase

LIMIT = 3510720
CODINGS = ("gzip", "deflate", "br", "zstd")
MAKE_PAGE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench", "make_page.py")

# A screen large enough to hold a few thousand cells of the report.
WIDTH, HEIGHT = 200, 60

# lighttpd's access log (common log format): status, then body bytes sent.
_SENT = re.compile(r'" (\d{3}) (\d+|-) "')


def body_bytes_sent(bed):
    """Body bytes of each answer as they went over the wire, oldest first."""
    with open(os.path.join(bed.dir, "access.log")) as f:
        return [int(m.group(2)) for m in map(_SENT.search, f) if m and m.group(2) != "-"]


def wait_for_log(bed, count, timeout=10.0):
    """The body bytes of every answer logged, once more than `count` are:
    lighttpd writes an answer's line when the answer has ended, which the
    monitor need not wait for."""
    deadline = time.monotonic() + timeout
    while True:
        sent = body_bytes_sent(bed)
        if len(sent) > count or time.monotonic() > deadline:
            return sent
        time.sleep(0.05)


def largest_page():
    """The benchmark's page of a mass outage, just under the limit."""
    folder = tempfile.mkdtemp(prefix="orvek-page-")
    try:
        path = os.path.join(folder, "page.wml")
        subprocess.run([PYTHON, MAKE_PAGE, "--target-bytes", str(LIMIT), "--output", path],
                       check=True, capture_output=True)
        with open(path, "rb") as f:
            return f.read()
    finally:
        shutil.rmtree(folder, ignore_errors=True)


class CompressedPageTest(E2ETestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.page = largest_page()

    def settled_frame(self, bed):
        """The first frame, once painted: with a refresh only every five
        seconds, two captures in a row that agree, with the screen full of
        labels (neither the blank screen before the fetch nor the banner)."""
        terminal = self.monitor(bed.base_url, "-s", "5", width=WIDTH, height=HEIGHT)
        last = []

        def settled(screen):
            cells = [(c.char, c.fg, c.bg, c.bold) for _, _, c in screen.cells()]
            drawn = sum(1 for cell in cells if cell[0] != " ")
            agreed = last == [cells]
            last[:] = [cells]
            # Some hundred labels: every column of the screen in use.
            return agreed and drawn > 1000

        screen = terminal.wait_for(settled, timeout=30, what="the first frame, settled")
        self.assertStillRunning(terminal)
        terminal.close()
        return screen

    def test_screen_is_the_same_whatever_the_coding(self):
        plain = self.bed()
        plain.set_page(self.page)
        reference = self.settled_frame(plain)
        self.assertFalse(reference.contains(BANNER.strip()), reference.dump())
        sent = {"identity": wait_for_log(plain, 0)[0]}
        self.assertEqual(sent["identity"], len(self.page))

        for coding in CODINGS:
            with self.subTest(coding=coding):
                bed = self.bed(compress=(coding,))
                bed.set_page(self.page)
                screen = self.settled_frame(bed)
                differences = ["(%d,%d) plain %r, %s %r" % (r, c, reference[r][c], coding, cell)
                               for r, c, cell in screen.cells()
                               if (cell.char, cell.fg, cell.bg, cell.bold)
                               != (reference[r][c].char, reference[r][c].fg, reference[r][c].bg, reference[r][c].bold)]
                self.assertEqual(differences[:10], [], "%d cells differ" % len(differences))
                sent[coding] = wait_for_log(bed, 0)[0]
                # The server did compress: far fewer bytes than the page.
                self.assertLess(sent[coding], len(self.page) // 5)

        sys.stderr.write("\npage of %d bytes; body bytes on the wire: %s\n" % (
            len(self.page), ", ".join("%s %d" % kv for kv in sent.items())))

    def test_limit_applies_to_the_decoded_page(self):
        # Filler compresses to almost nothing: what arrives is a few
        # kilobytes either way, only the decoded size differs.
        # (case, decoded size, banner expected)
        cases = [
            ("decodes to exactly the limit", LIMIT, False),
            ("decodes to one byte over the limit", LIMIT + 1, True),
        ]
        bed = self.bed(compress=("gzip",))
        for case, size, banner in cases:
            with self.subTest(case):
                bed.respond(page=padded_page([("critical", "web1", "Load")], size))
                before = len(body_bytes_sent(bed))
                terminal = self.monitor(bed.base_url)
                if banner:
                    self.assertBanner(terminal, timeout=15)
                else:
                    screen = terminal.wait_for_text(" web1 ", timeout=15)
                    self.assertFalse(screen.contains(BANNER.strip()), screen.dump())
                terminal.close()
                sent = wait_for_log(bed, before)[before:]
                self.assertTrue(sent, "lighttpd logged no answer")
                self.assertLess(max(sent), LIMIT // 100)


if __name__ == "__main__":
    unittest.main()
