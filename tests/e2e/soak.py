#!/usr/bin/python3
"""The soak run: orvek refreshing without pause (-s 0) in a tmux terminal,
against lighttpd on 127.0.0.1 serving a page that keeps changing (problems
appear and clear, the server answers 503 now and then, or stops altogether
for a moment), while its memory and open files are sampled. Fails when orvek
dies, when its resident memory grows after the warm-up by more than 1 MiB or
10 % (whichever is larger), when it holds more files at the end than after
the warm-up, or when it ever holds more sockets than one transfer needs.
Prints a one-line summary and a Markdown table row.

    tests/e2e/soak.py [SECONDS] [BUILD_DIR]     (defaults: 60, build)

ORVEK_SOAK_SAMPLES=file keeps every sample (time, requests, RSS, HWM, files,
sockets).
"""

import os
import random
import shutil
import statistics
import sys
import tempfile
import time

from statusbed import StatusBed, free_port, status_page
from support import ROOT, memory_kib, orvek_in, started_pid, write_config
from terminal import Terminal

WARM_UP = 10.0          # seconds before the first sample that counts
SAMPLE_EVERY = 2.0      # seconds
RSS_TOLERANCE_KIB = 1024
RSS_TOLERANCE_SHARE = 0.10
# One transfer in flight holds its connection and libcurl's wake-up pair.
SOCKETS_IN_FLIGHT = 4
PHASE = 1.2             # seconds each state of the server lasts


def problems(rng, count):
    kinds = ["warning", "critical", "unknown"]
    found = []
    for i in range(count):
        host = "host%03d" % rng.randrange(400)
        if rng.random() < 0.08:
            found.append((rng.choice(["down", "unreachable"]), host))
        else:
            found.append((rng.choice(kinds), host, "Service %d" % rng.randrange(30)))
    return found


class Scenario:
    """The server's story: a fixed round of states, with the problems drawn
    afresh each time, so every state (and the largest page) comes up within
    the warm-up and again and again afterwards."""

    def __init__(self, bed, seed=1):
        self.bed = bed
        self.rng = random.Random(seed)
        self.round = [self.busy, self.some, self.error, self.clear, self.some, self.drop_out, self.some]
        self.step = 0
        self.drop_outs = 0
        self.errors = 0

    def busy(self):
        self.bed.respond(page=status_page(problems(self.rng, 300)))

    def some(self):
        self.bed.respond(page=status_page(problems(self.rng, self.rng.randrange(1, 25))))

    def clear(self):
        self.bed.respond(page=status_page([]))

    def error(self):
        self.errors += 1
        self.bed.respond(status=503, page=status_page(problems(self.rng, 5)))

    def drop_out(self):
        self.drop_outs += 1
        self.bed.stop()
        time.sleep(PHASE)
        for attempt in range(20):
            try:
                self.bed.start()
                break
            except RuntimeError:
                time.sleep(0.2)
        else:
            raise RuntimeError("lighttpd did not come back on port %d" % self.bed.port)
        self.some()

    def next(self):
        self.round[self.step % len(self.round)]()
        self.step += 1


def sample(pid):
    rss, hwm = memory_kib(pid)
    files = sockets = 0
    for name in os.listdir("/proc/%d/fd" % pid):
        try:
            target = os.readlink("/proc/%d/fd/%s" % (pid, name))
        except OSError:
            continue  # closed while we looked
        if target.startswith("socket:"):
            sockets += 1
        else:
            files += 1
    return {"rss": rss, "hwm": hwm, "files": files, "sockets": sockets}


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 60.0
    build = sys.argv[2] if len(sys.argv) > 2 else os.path.join(ROOT, "build")
    binary = orvek_in(build)
    if not binary:
        print("soak: no orvek binary in %s" % build, file=sys.stderr)
        return 2
    if seconds < WARM_UP + 3 * SAMPLE_EVERY:
        print("soak: give it at least %d seconds" % (WARM_UP + 3 * SAMPLE_EVERY), file=sys.stderr)
        return 2

    work = tempfile.mkdtemp(prefix="orvek-soak-")
    bed_folder = os.path.join(work, "bed")
    os.makedirs(bed_folder)
    bed = StatusBed(folder=bed_folder, port=free_port())
    scenario = Scenario(bed)
    bed.set_page(status_page([]))
    bed.start()
    terminal = Terminal(80, 24)
    failures = []
    samples = []
    try:
        conf = write_config(work, bed.base_url)
        terminal.start([binary, "-c", conf, "-s", "0"], cwd=work)
        pid = started_pid(terminal)

        started = time.monotonic()
        next_phase = next_sample = started
        while True:
            now = time.monotonic()
            if now - started >= seconds:
                break
            if now >= next_phase:
                scenario.next()
                next_phase = time.monotonic() + PHASE
            if now >= next_sample:
                if not os.path.exists("/proc/%d" % pid) or not terminal.program_pids():
                    failures.append("orvek died after %.0f s:\n%s" % (now - started, terminal.screen().text()))
                    break
                entry = sample(pid)
                entry["time"] = now - started
                entry["requests"] = len(bed.requests())
                samples.append(entry)
                next_sample += SAMPLE_EVERY
            time.sleep(0.05)
        elapsed = time.monotonic() - started
        if not failures and not terminal.program_pids():
            failures.append("orvek died:\n%s" % terminal.screen().text())
        cycles = len(bed.requests())
    finally:
        terminal.close()
        bed.stop()
        shutil.rmtree(work, ignore_errors=True)

    counted = [s for s in samples if s["time"] >= WARM_UP]
    if len(counted) < 3:
        failures.append("too few samples after the warm-up (%d)" % len(counted))
        counted = samples[-3:] or [{"rss": 0, "hwm": 0, "files": 0, "sockets": 0, "time": 0}]
    # Three samples at each end, so one caught in the middle of a transfer
    # does not decide.
    rss_start = int(statistics.median(s["rss"] for s in counted[:3]))
    rss_end = int(statistics.median(s["rss"] for s in counted[-3:]))
    hwm_end = counted[-1]["hwm"]
    files_start, files_end = counted[0]["files"], counted[-1]["files"]
    sockets_max = max(s["sockets"] for s in counted)
    tolerance = max(RSS_TOLERANCE_KIB, int(rss_start * RSS_TOLERANCE_SHARE))
    if rss_end - rss_start > tolerance:
        failures.append("RSS grew from %d KiB to %d KiB (tolerance %d KiB)" % (rss_start, rss_end, tolerance))
    if files_end > files_start:
        failures.append("open files grew from %d to %d" % (files_start, files_end))
    if sockets_max > SOCKETS_IN_FLIGHT:
        failures.append("%d sockets open at once (a transfer needs at most %d)" % (sockets_max, SOCKETS_IN_FLIGHT))

    verdict = "FAIL" if failures else "PASS"
    for failure in failures:
        print("soak: %s" % failure, file=sys.stderr)
    print("soak: %s: %.0f s, %d cycles answered by lighttpd (%.1f/s), %d 503 phases, %d drop-outs; "
          "RSS %d KiB -> %d KiB (%+d KiB, tolerance %d KiB), VmHWM %d KiB; open files %d -> %d, "
          "sockets at most %d; %s"
          % (verdict, elapsed, cycles, cycles / elapsed, scenario.errors, scenario.drop_outs,
             rss_start, rss_end, rss_end - rss_start, tolerance, hwm_end, files_start, files_end,
             sockets_max, "orvek alive" if not any("died" in f for f in failures) else "orvek died"))
    print("| %.0f s | %s | %d | %d KiB | %d KiB | %+d KiB | %d KiB | %d -> %d (sockets <= %d) | %s |"
          % (elapsed, os.path.basename(os.path.abspath(build)), cycles, rss_start, rss_end,
             rss_end - rss_start, hwm_end, files_start, files_end, sockets_max, verdict.lower()))
    if os.environ.get("ORVEK_SOAK_SAMPLES"):
        with open(os.environ["ORVEK_SOAK_SAMPLES"], "w") as f:
            for s in samples:
                f.write("%(time).1f %(requests)d %(rss)d %(hwm)d %(files)d %(sockets)d\n" % s)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
