#!/usr/bin/python3
"""How long the real monitor takes to end on SIGTERM sent while it reads a
page, on a page built to hurt (make_hostile_page.py) or the largest typical
page; or, with --resize, how long a resize waits to be drawn.

    bench/measure_signal.py ORVEK_BINARY [SHAPE] [ROUNDS] [--delay-ms D] [--resize]

SHAPE is a make_hostile_page.py shape or "typical" (the largest postfield
page; default long-down), ROUNDS how many times the monitor is started
(default 3). Each round serves the page from the end-to-end tests' bed
(lighttpd on 127.0.0.1), runs `orvek -c ... -s 1` (newcgi true) in an 80x24
tmux terminal, waits until the second page has been served whole (the
monitor then reads it), waits a delay, sends SIGTERM and polls every
millisecond until the process is gone. The delays are spread evenly over
0 .. D milliseconds across the rounds (all 0 without --delay-ms), so that
the signal lands in different stages of the reading. Prints the
milliseconds of each round and their largest.

--resize: instead of SIGTERM, the terminal is made 30 rows high (tmux sends
SIGWINCH) and the screen is polled until one of the new rows shows
something, i.e. until the monitor has drawn for the new size (the page must
fill more than 24 rows, as every shape and the typical page do).
Everything it starts is stopped by its pid.
"""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))

from statusbed import PYTHON, StatusBed  # noqa: E402
from support import RECEIVE_LIMIT, started_pid, wait_until, write_config  # noqa: E402
from terminal import Terminal  # noqa: E402


def make_page(folder, shape):
    path = os.path.join(folder, "page.wml")
    if shape == "typical":
        command = [PYTHON, os.path.join(HERE, "make_page.py"), "--target-bytes", str(RECEIVE_LIMIT),
                   "--services", "5", "--down", "0.1", "--form", "postfield"]
    else:
        command = [PYTHON, os.path.join(HERE, "make_hostile_page.py"), "--shape", shape]
    subprocess.run(command + ["-o", path], capture_output=True, check=True)
    with open(path, "rb") as f:
        return f.read()


def pages_served(bed):
    try:
        with open(os.path.join(bed.dir, "access.log")) as f:
            return sum(1 for line in f if line.endswith("\n"))
    except OSError:
        return 0


def alive(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().split(") ")[-1][0] != "Z"
    except OSError:
        return False


def drawn_taller(terminal):
    screen = terminal.screen()
    return any(screen.line(row).strip() for row in range(24, screen.height))


def one_round(binary, page, folder, delay, resize):
    bed = StatusBed()
    terminal = Terminal(80, 24)
    try:
        bed.set_page(page)
        bed.start()
        conf = write_config(folder, bed.base_url)
        terminal.start([binary, "-c", conf, "-s", "1"], cwd=folder)
        pid = started_pid(terminal)
        wait_until(lambda: pages_served(bed) >= 1, 60, "the first page")
        served = pages_served(bed)
        while pages_served(bed) == served:
            time.sleep(0.0005)
        time.sleep(delay / 1000.0)
        sent = time.monotonic()
        if resize:
            terminal.resize(80, 30)
            while not drawn_taller(terminal):
                time.sleep(0.001)
        else:
            os.kill(pid, signal.SIGTERM)
            while alive(pid):
                time.sleep(0.001)
        return (time.monotonic() - sent) * 1000.0
    finally:
        terminal.close()
        bed.stop()


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("binary")
    parser.add_argument("shape", nargs="?", default="long-down")
    parser.add_argument("rounds", nargs="?", type=int, default=3)
    parser.add_argument("--delay-ms", type=float, default=0.0)
    parser.add_argument("--resize", action="store_true")
    args = parser.parse_args(argv[1:])
    if not os.access(args.binary, os.X_OK) or args.rounds < 1:
        parser.print_usage(sys.stderr)
        return 2
    delays = [args.delay_ms * i / max(args.rounds - 1, 1) for i in range(args.rounds)]
    folder = tempfile.mkdtemp(prefix="orvek-signal-")
    try:
        page = make_page(folder, args.shape)
        times = [one_round(os.path.abspath(args.binary), page, folder, delay, args.resize) for delay in delays]
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    what = "resize_to_drawn_ms" if args.resize else "sigterm_to_exit_ms"
    print("shape=%s bytes=%d %s=%s max_ms=%.1f"
          % (args.shape, len(page), what,
             ",".join("%.1f@%.0f" % (t, d) if args.delay_ms else "%.1f" % t for t, d in zip(times, delays)),
             max(times)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
