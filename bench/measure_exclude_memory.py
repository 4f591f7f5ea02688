#!/usr/bin/python3
"""Peak memory of the monitor's start-up with large exclude files.

    bench/measure_exclude_memory.py ORVEK_BINARY [ORVEK_BINARY ...]

For each binary, runs the monitor once per exclude file below with -e, a
configuration naming a server that is never asked, and TERM=vt100: it reads
its configuration and the whole exclude file, builds the lookups, starts
curses, finds no colours and ends (status 1). That run holds everything the
exclude list ever costs, so its peak resident set (ru_maxrss of the ended
child) is the list's cost plus the monitor's own, which the run without an
exclude file gives. Files, each 4 MiB (the most the monitor reads):

- empty lines: 4,194,304 newlines;
- 3-byte lines, one word: "abc" over and over;
- 3-byte lines, distinct: every 3-character word over 94 printable ASCII
  characters in turn (830,584 of them), then again from the start.

Prints one line per binary and file: peak_kib=<KiB> entries=<lines>.
Everything it starts ends with it; the files live in a temporary folder
removed at the end.
"""

import os
import shutil
import subprocess
import sys
import tempfile

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


def peak_kib(binary, conf, exclude, folder):
    """Peak resident set of one run, in KiB, and its exit status."""
    args = [binary, "-c", conf] + (["-e", exclude] if exclude else [])
    env = {"PATH": "/usr/bin:/bin", "TERM": "vt100"}
    child = subprocess.Popen(args, cwd=folder, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    child.returncode = os.waitstatus_to_exitcode(status)
    return usage.ru_maxrss, child.returncode


def main(argv):
    binaries = [os.path.abspath(b) for b in argv[1:]]
    if not binaries or not all(os.access(b, os.X_OK) for b in binaries):
        print("usage: %s ORVEK_BINARY [ORVEK_BINARY ...]" % argv[0], file=sys.stderr)
        return 2
    folder = tempfile.mkdtemp(prefix="orvek-exclude-memory-")
    try:
        conf = os.path.join(folder, "orvek.conf")
        with open(conf, "w") as f:
            f.write("server http://127.0.0.1:9\nusername u\npassword p\n")
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
                kib, status = peak_kib(binary, conf, path, folder)
                if status != 1:
                    print("%s: %s ended with %d, not 1" % (binary, name, status), file=sys.stderr)
                    return 1
                print("%s | %s | peak_kib=%d entries=%d" % (binary, name, kib, entries), flush=True)
        return 0
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
