#!/usr/bin/python3
"""Memory of the running monitor with large exclude files.

    bench/measure_exclude_memory.py ORVEK_BINARY [ORVEK_BINARY ...]

For each binary and each exclude file below, runs the real monitor with
-e FILE -s 1 in an 80x24 tmux terminal (tests/e2e/terminal.py) against the
test bed (tests/e2e/statusbed.py, lighttpd on 127.0.0.1) serving a small
page, waits until it has fetched three pages, and reads its VmRSS and VmHWM
(peak) from /proc. Files, each 4 MiB (the most the monitor reads):

- empty lines: 4,194,304 newlines;
- 3-byte lines, one word: "abc" over and over;
- 3-byte lines, distinct: every 3-character word over 94 printable ASCII
  characters in turn (830,584 of them), then again from the start.

Prints one line per binary and file: rss_kib=<KiB> peak_kib=<KiB>
entries=<lines>. Everything it starts is stopped by its pid; the files live
in a temporary folder removed at the end.
"""

import os
import shutil
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # nothing left behind in the source tree
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))

from statusbed import StatusBed, status_page  # noqa: E402
from support import memory_kib, started_pid, wait_until, write_config  # noqa: E402
from terminal import Terminal  # noqa: E402

PAGE = status_page([("down", "db1"), ("critical", "web1", "Load"), ("warning", "web1", "Disk")])

LIMIT = 4 << 20
ALPHABET = bytes(range(0x21, 0x7F))


def distinct_words():
    """3-byte words, all different until the alphabet runs out."""
    out = bytearray()
    n = 0
    while len(out) < LIMIT:
        a, b, c = n % 94, (n // 94) % 94, (n // (94 * 94)) % 94
        out += bytes((ALPHABET[c], ALPHABET[b], ALPHABET[a])) + b"\n"
        n += 1
    return bytes(out[:LIMIT])


FILES = [
    ("no exclude file", None),
    ("4 MiB of empty lines", lambda: b"\n" * LIMIT),
    ("4 MiB of 3-byte lines, one word", lambda: b"abc\n" * (LIMIT // 4)),
    ("4 MiB of 3-byte lines, distinct", distinct_words),
]


def pages_served(bed):
    """Answers the bed has sent whole (lighttpd's access log)."""
    try:
        with open(os.path.join(bed.dir, "access.log")) as f:
            return sum(1 for line in f if line.endswith("\n"))
    except OSError:
        return 0


def memory(binary, conf, exclude, folder, bed):
    """(VmRSS, VmHWM) in KiB of the monitor after its third page."""
    args = [binary, "-c", conf, "-s", "1"] + (["-e", exclude] if exclude else [])
    terminal = Terminal(80, 24)
    try:
        served = pages_served(bed)
        terminal.start(args, cwd=folder)
        pid = started_pid(terminal)
        wait_until(lambda: pages_served(bed) >= served + 3, 60, "three pages")
        return memory_kib(pid)
    finally:
        terminal.close()


def main(argv):
    binaries = [os.path.abspath(b) for b in argv[1:]]
    if not binaries or not all(os.access(b, os.X_OK) for b in binaries):
        print("usage: %s ORVEK_BINARY [ORVEK_BINARY ...]" % argv[0], file=sys.stderr)
        return 2
    folder = tempfile.mkdtemp(prefix="orvek-exclude-memory-")
    bed = StatusBed()
    try:
        bed.set_page(PAGE)
        bed.start()
        conf = write_config(folder, bed.base_url)
        paths = []
        for name, make in FILES:
            path = None
            if make:
                path = os.path.join(folder, "exclude-%d" % len(paths))
                with open(path, "wb") as f:
                    f.write(make())
            paths.append((name, path))
        for binary in binaries:
            for name, path in paths:
                entries = 0
                if path:
                    with open(path, "rb") as f:
                        entries = f.read().count(b"\n")
                rss, peak = memory(binary, conf, path, folder, bed)
                print("%s | %s | rss_kib=%d peak_kib=%d entries=%d" % (binary, name, rss, peak, entries), flush=True)
        return 0
    finally:
        bed.stop()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
