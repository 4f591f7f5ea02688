"""A wall of one server or several ends when it is told to, at whatever moment
the signal comes: before the first frame, while a transfer runs or hangs,
while a worker waits for the interval or for the main thread. Every try:
gone within a second, status 1, the terminal's own screen back."""

import random
import signal
import unittest

from statusbed import status_page
from stopping import end_once, sections_config
from support import E2ETestCase, write_config

TRIES = 3  # per server set, interval and signal
BOUND = 1.0


class StopAtAnyMomentTest(E2ETestCase):
    def test_each_signal_at_random_moments_ends_it_at_once(self):
        seed = random.randrange(1 << 30)
        chance = random.Random(seed)
        bed = self.bed()
        bed.set_page(status_page([("down", "db1"), ("critical", "web1", "Load")]))
        other = self.bed()
        other.set_page(status_page([("warning", "web2", "Disk")]))
        hung = self.silent_server()
        sets = {
            "one, no sections": write_config(self.folder(), bed.base_url),
            "two": sections_config(self.folder(), [bed.base_url, other.base_url]),
            "three, one hanging": sections_config(self.folder(), [bed.base_url, hung.base_url, other.base_url]),
        }
        for name, conf in sets.items():
            for interval in (0, 1):
                for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
                    for _ in range(TRIES):
                        delay = chance.uniform(0.0, 1.5)
                        what = "%s, -s %d, %s after %.2f s (seed %d)" % (name, interval, sig.name, delay, seed)
                        with self.subTest(what):
                            gone, status, alternate = end_once(self.binary, conf, interval, sig, delay)
                            self.assertIsNotNone(gone, "still running 10 s after the signal")
                            self.assertLess(gone, BOUND, "gone only %.2f s after the signal" % gone)
                            self.assertEqual(status, 1)
                            self.assertFalse(alternate, "the terminal is left in the alternate screen")


if __name__ == "__main__":
    unittest.main()
