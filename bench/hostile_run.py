#!/usr/bin/python3
"""Times the hostile pages beside the typical largest one, for one or more
builds, in one run, and prints a Markdown table for bench/README.md.

  bench/hostile_run.py BENCH [BENCH ...] [--repeat N] [--rounds R] [--pages DIR]

BENCH is an orvek-frame-bench binary (build/bench/orvek-frame-bench). Each
page is timed by every build in turn, R rounds over all pages (default 2),
so that a machine whose load changes during the run changes every column
alike. Two figures per page and build:

  wall   the bench's own median frame time (ms), over N frames (default 7)
  cpu    CPU time (user + system) of one frame: the bench run with N frames
         less the same run with one, divided by N - 1; less disturbed than
         the wall time when other jobs share the machine, as it does not
         count the time spent waiting for a core, and it counts what the
         bench's timer leaves out: the freeing of each frame's record

The ratio columns are each page's median wall time (of the rounds' medians)
and its CPU time over the typical page's, same build.
Pages are generated into DIR (default a temporary folder) by make_page.py and
make_hostile_page.py, the same bytes every time.
"""

import argparse
import os
import re
import resource
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
LIMIT = 3510720
TYPICAL = "max-postfield"
SHAPES = ["extra-pairs", "open-quotes", "open-rows", "many-down", "cell-tangle",
          "long-down-same", "long-down", "nested-keys", "one-row"]
# Pages whose names collide under a fixed case-folded hash, or have many lengths.
SHAPES += ["thue-morse", "growing-hosts"]
# Rows joined on one line: many, and with names holding where rows meet.
SHAPES += ["joined-rows", "joined-ambiguous"]
# Shapes read from the postfield form (the bench's --newcgi).
NEWCGI = {TYPICAL, "extra-pairs", "many-down", "long-down-same", "long-down", "nested-keys"}
NEWCGI |= {"thue-morse", "growing-hosts"}


def make_pages(folder):
    pages = {}
    path = os.path.join(folder, TYPICAL + ".wml")
    if not os.path.exists(path):
        subprocess.run([sys.executable, os.path.join(HERE, "make_page.py"), "--target-bytes", str(LIMIT),
                        "--services", "5", "--down", "0.1", "--form", "postfield", "--seed", "1", "-o", path],
                       check=True, stderr=subprocess.DEVNULL)
    pages[TYPICAL] = path
    for shape in SHAPES:
        path = os.path.join(folder, shape + ".wml")
        if not os.path.exists(path):
            subprocess.run([sys.executable, os.path.join(HERE, "make_hostile_page.py"), "--shape", shape,
                            "-o", path], check=True, stderr=subprocess.DEVNULL)
        pages[shape] = path
    return pages


def run(bench, page, newcgi, repeat):
    """The bench's median frame (ms) and the CPU seconds the run took."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    done = subprocess.run([bench, page, "--repeat", str(repeat)] + (["--newcgi"] if newcgi else []),
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, check=True)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    match = re.match(r"frame_ms=([0-9.]+) lines=", done.stderr)
    if not match:
        sys.exit(f"hostile_run: {bench} {page}: {done.stderr.strip()}")
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return float(match.group(1)), cpu


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("benches", nargs="+", metavar="BENCH")
    parser.add_argument("--repeat", type=int, default=7)
    parser.add_argument("--rounds", type=int, default=2)
    parser.add_argument("--pages")
    options = parser.parse_args()
    if options.repeat < 2:
        parser.error("--repeat must be at least 2")
    folder = options.pages or tempfile.mkdtemp(prefix="orvek-hostile-")
    os.makedirs(folder, exist_ok=True)
    pages = make_pages(folder)

    wall = {}  # (page, bench) -> [ms]
    cpu = {}
    for _ in range(options.rounds):
        for name, path in pages.items():
            for bench in options.benches:
                newcgi = name in NEWCGI
                median, many = run(bench, path, newcgi, options.repeat)
                _, one = run(bench, path, newcgi, 1)
                wall.setdefault((name, bench), []).append(median)
                cpu.setdefault((name, bench), []).append(1000 * (many - one) / (options.repeat - 1))

    load = os.getloadavg()
    print(f"load average at the end {load[0]:.1f} {load[1]:.1f} {load[2]:.1f}, {os.cpu_count()} cores, "
          f"{options.rounds} rounds of {options.repeat} frames")
    print()
    head = "| page |"
    rule = "|---|"
    for number, _ in enumerate(options.benches, 1):
        head += f" wall ms ({number}) | × typical | CPU ms ({number}) | × typical |"
        rule += "---:|---:|---:|---:|"
    print(head)
    print(rule)
    for name in pages:
        row = f"| {name} |"
        for bench in options.benches:
            w = wall[(name, bench)]
            w_ratio = statistics.median(w) / statistics.median(wall[(TYPICAL, bench)])
            c = statistics.median(cpu[(name, bench)])
            c_ratio = c / statistics.median(cpu[(TYPICAL, bench)])
            row += f" {min(w):.1f}–{max(w):.1f} | {w_ratio:.1f} | {c:.1f} | {c_ratio:.1f} |"
        print(row)
    for number, bench in enumerate(options.benches, 1):
        print(f"\n({number}) {bench}")


if __name__ == "__main__":
    main()
