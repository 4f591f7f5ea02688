#!/usr/bin/python3
"""The time from a stop signal to the monitor's end, over many tries at
random moments, on walls of one, two and three servers (the third hanging).

    bench/measure_stop.py ORVEK_BINARY [TRIES] [SEED]

Each try starts the real orvek in an 80x24 tmux terminal against servers of
the end-to-end tests' bed (lighttpd on 127.0.0.1) and a silent server (the
hanging one), with -s 0 or -s 1, waits until its handlers are in place and
then a random 0 to 1.5 s, sends SIGTERM, SIGINT or SIGHUP and polls every
millisecond until the process is gone. Prints the median and the worst in
milliseconds, for all tries and per wall, and any try that did not end with
status 1 and the terminal's own screen. Everything it starts is stopped by
its pid.
"""

import os
import random
import shutil
import signal
import statistics
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))

from statusbed import SilentServer, StatusBed, status_page  # noqa: E402
from stopping import end_once, sections_config  # noqa: E402
from support import write_config  # noqa: E402


def main(argv):
    if len(argv) < 2 or not os.access(argv[1], os.X_OK):
        print(__doc__, file=sys.stderr)
        return 2
    binary = os.path.abspath(argv[1])
    tries = int(argv[2]) if len(argv) > 2 else 100
    seed = int(argv[3]) if len(argv) > 3 else random.randrange(1 << 30)
    chance = random.Random(seed)
    folder = tempfile.mkdtemp(prefix="orvek-stop-")
    beds = [StatusBed(), StatusBed()]
    hung = SilentServer().__enter__()
    try:
        beds[0].set_page(status_page([("down", "db1"), ("critical", "web1", "Load")]))
        beds[1].set_page(status_page([("warning", "web2", "Disk")]))
        for bed in beds:
            bed.start()
        walls = {}
        for name, make in (("one", lambda f: write_config(f, beds[0].base_url)),
                           ("two", lambda f: sections_config(f, [b.base_url for b in beds])),
                           ("three-hanging", lambda f: sections_config(f, [beds[0].base_url, hung.base_url,
                                                                            beds[1].base_url]))):
            sub = os.path.join(folder, name)
            os.makedirs(sub)
            walls[name] = make(sub)
        times = {name: [] for name in walls}
        faults = []
        for i in range(tries):
            name = chance.choice(sorted(walls))
            interval = chance.choice((0, 1))
            sig = chance.choice((signal.SIGTERM, signal.SIGINT, signal.SIGHUP))
            delay = chance.uniform(0.0, 1.5)
            gone, status, alternate = end_once(binary, walls[name], interval, sig, delay)
            if gone is None or status != 1 or alternate:
                faults.append("%s -s %d %s after %.2f s: gone=%s status=%s alternate=%s"
                              % (name, interval, sig.name, delay, gone, status, alternate))
            if gone is not None:
                times[name].append(gone * 1000.0)
        every = [t for ts in times.values() for t in ts]
        print("seed=%d tries=%d median_ms=%.1f worst_ms=%.1f" % (seed, tries, statistics.median(every), max(every)))
        for name, ts in times.items():
            if ts:
                print("  %s: tries=%d median_ms=%.1f worst_ms=%.1f" % (name, len(ts), statistics.median(ts), max(ts)))
        for fault in faults:
            print("  FAULT " + fault)
        return 1 if faults else 0
    finally:
        hung.__exit__(None, None, None)
        for bed in beds:
            bed.stop()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
