#!/usr/bin/python3
"""Peak memory and time to the first frame of the wall, and peak memory and
time of orvek -t, with one -e list of about 1 MB and 1, 20 and 50 servers.

    bench/measure_servers_memory.py ORVEK_BINARY [ORVEK_BINARY ...]

For each binary and each count N: a configuration with N [server sN]
sections, all on one server of the end-to-end tests' bed (lighttpd on
127.0.0.1) serving a short list, and an exclude file of about 1 MB
(make_exclude.py). The wall (-s 5, 80x24 tmux terminal): the seconds from
its start until the first server's problem shows, and its VmHWM then. The
check (-t): its wall-clock seconds and its peak resident size (getrusage of
the child). With the -e list built once and shared, both stay about the
same whatever N. Everything it starts is stopped by its pid.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))

from statusbed import PYTHON, StatusBed, status_page  # noqa: E402
from stopping import sections_config  # noqa: E402
from support import memory_kib, started_pid  # noqa: E402
from terminal import Terminal  # noqa: E402

COUNTS = (1, 20, 50)
ENTRIES = 60000  # about 1 MB of entries


def wall(binary, conf, exclude):
    terminal = Terminal(80, 24)
    try:
        started = time.monotonic()
        terminal.start([binary, "-c", conf, "-e", exclude, "-s", "5"], cwd=os.path.dirname(conf))
        pid = started_pid(terminal)
        terminal.wait_for(lambda s: s.contains("web1"), 120, "the first frame")
        first = time.monotonic() - started
        return first, memory_kib(pid)[1]
    finally:
        terminal.close()


# Runs the command as its only child, so that the children's peak is its own.
PEAK_OF_ONE = ("import resource, subprocess, sys, time\n"
               "t = time.monotonic(); r = subprocess.run(sys.argv[1:], capture_output=True, text=True)\n"
               "print('%.2f %d %s' % (time.monotonic() - t, resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss,"
               " r.stdout.split(chr(10), 1)[0][:60]))")


def check(binary, conf, exclude):
    out = subprocess.run([PYTHON, "-c", PEAK_OF_ONE, binary, "-t", "-c", conf, "-e", exclude],
                         capture_output=True, text=True, timeout=300, check=True).stdout
    took, peak, line = out.rstrip("\n").split(" ", 2)
    return float(took), int(peak), line


def main(argv):
    binaries = [os.path.abspath(b) for b in argv[1:]]
    if not binaries or not all(os.access(b, os.X_OK) for b in binaries):
        print(__doc__, file=sys.stderr)
        return 2
    folder = tempfile.mkdtemp(prefix="orvek-servers-memory-")
    bed = StatusBed()
    try:
        bed.set_page(status_page([("critical", "web1", "Load"), ("warning", "web2", "Disk")]))
        bed.start()
        exclude = os.path.join(folder, "big.exclude")
        subprocess.run([PYTHON, os.path.join(HERE, "make_exclude.py"), "--entries", str(ENTRIES), "-o", exclude],
                       check=True)
        print("exclude file: %d bytes" % os.path.getsize(exclude))
        for count in COUNTS:
            sub = os.path.join(folder, "n%d" % count)
            os.makedirs(sub)
            conf = sections_config(sub, [bed.base_url] * count)
            for binary in binaries:
                first, wall_peak = wall(binary, conf, exclude)
                took, check_peak, line = check(binary, conf, exclude)
                print("%s servers=%d wall_first_frame_s=%.2f wall_peak_kib=%d check_s=%.2f check_peak_kib=%d  %s"
                      % (binary, count, first, wall_peak, took, check_peak, line))
    finally:
        bed.stop()
        shutil.rmtree(folder, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
