"""Servers that hold the transfer: the monitor gives up and shows the
banner instead of freezing on a stale frame. The three cases run side by
side, so the suite waits for the longest bound only once."""

import socket
import sys
import time
import unittest

from statusbed import status_page
from support import CONNECT_BOUND, SLACK, TRANSFER_BOUND, E2ETestCase, banner_screen


class SlowServerTest(E2ETestCase):
    def test_stalled_transfers_end_in_the_banner(self):
        never_connects = self.silent_server(accept=False)
        never_answers = self.silent_server(accept=True)
        # The stall is real: a handshake with it does not complete.
        with self.assertRaises(socket.timeout):
            socket.create_connection(("127.0.0.1", never_connects.port), timeout=1).close()
        bed = self.bed()
        # About 40 bytes a second: the whole page would take minutes.
        page = status_page([("critical", "web%d" % i, "Load") for i in range(200)])
        bed.respond(page=page, drip=(10, 0.25))

        started = time.monotonic()
        # (case, server, latest time the banner may appear)
        cases = [
            ("connect never completes", never_connects.base_url, CONNECT_BOUND + SLACK),
            ("accepts and never answers", never_answers.base_url, TRANSFER_BOUND + SLACK),
            ("body drips too slowly", bed.base_url, TRANSFER_BOUND + SLACK),
        ]
        terminals = [(case, self.monitor(url), bound) for case, url, bound in cases]
        expected = banner_screen()
        pending = list(terminals)
        while pending and time.monotonic() - started < TRANSFER_BOUND + SLACK:
            for entry in list(pending):
                case, terminal, bound = entry
                if not expected.mismatches(terminal.screen()):
                    elapsed = time.monotonic() - started
                    print("%s: banner after %.1f s" % (case, elapsed), file=sys.stderr)
                    self.assertLess(elapsed, bound, "%s: banner only after %.0f s" % (case, elapsed))
                    pending.remove(entry)
            time.sleep(0.2)
        for case, terminal, _ in pending:
            with self.subTest(case):
                self.fail("no banner within %d s:\n%s" % (TRANSFER_BOUND + SLACK, terminal.screen().dump()))
        self.assertTrue(bed.requests(), "the dripping server was never asked")


if __name__ == "__main__":
    unittest.main()
