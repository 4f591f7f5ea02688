#!/usr/bin/python3
"""How long the real monitor takes to end on SIGTERM sent while it reads a
page, on a page built to hurt (make_hostile_page.py) or the largest typical
page.

    bench/measure_signal.py ORVEK_BINARY [SHAPE] [ROUNDS]

SHAPE is a make_hostile_page.py shape or "typical" (the largest postfield
page; default long-down), ROUNDS how many times the monitor is started
(default 3). Each round serves the page from the end-to-end tests' bed
(lighttpd on 127.0.0.1), runs `orvek -c ... -s 1` (newcgi true) in an 80x24
tmux terminal, waits until the second page has been served whole (the
monitor then reads it), sends SIGTERM and polls every millisecond until the
process is gone. Prints the milliseconds of each round and their largest.
Everything it starts is stopped by its pid.
"""

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


def one_round(binary, page, folder):
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
        sent = time.monotonic()
        os.kill(pid, signal.SIGTERM)
        while alive(pid):
            time.sleep(0.001)
        return (time.monotonic() - sent) * 1000.0
    finally:
        terminal.close()
        bed.stop()


def main(argv):
    if not 2 <= len(argv) <= 4 or not os.access(argv[1], os.X_OK):
        print("usage: %s ORVEK_BINARY [SHAPE] [ROUNDS]" % argv[0], file=sys.stderr)
        return 2
    shape = argv[2] if len(argv) > 2 else "long-down"
    rounds = int(argv[3]) if len(argv) > 3 else 3
    folder = tempfile.mkdtemp(prefix="orvek-signal-")
    try:
        page = make_page(folder, shape)
        times = [one_round(os.path.abspath(argv[1]), page, folder) for _ in range(rounds)]
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    print("shape=%s bytes=%d sigterm_to_exit_ms=%s max_ms=%.1f"
          % (shape, len(page), ",".join("%.1f" % t for t in times), max(times)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
