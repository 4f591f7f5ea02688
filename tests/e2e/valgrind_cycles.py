#!/usr/bin/python3
"""The memcheck run: orvek (the normal build; valgrind cannot run a
sanitized one) under valgrind in a tmux terminal, one refresh a second,
against lighttpd on 127.0.0.1 with Digest authentication over HTTP, then
Basic over HTTPS: successful cycles, then failing ones (503, a body over the
limit, the server gone), then SIGTERM, on which curses' own handler ends the
process and memcheck writes its report. Fails on any memcheck error: an
invalid access, a use of an uninitialised value, or a definite leak.
One-time allocations of the libraries are kept out by valgrind.supp here.

    tests/e2e/valgrind_cycles.py [BUILD_DIR]     (default: build)

ORVEK_VALGRIND_LOG=prefix keeps memcheck's logs (prefix.NAME for each run).
"""

import os
import re
import shutil
import signal
import sys
import tempfile
import time

from statusbed import StatusBed, padded_page
from support import (BANNER, MIXED_PAGE, PASSWORD, RECEIVE_LIMIT, ROOT, USER, orvek_in, started_pid,
                     wait_until, write_config)
from terminal import Terminal

HERE = os.path.dirname(os.path.abspath(__file__))
VALGRIND = shutil.which("valgrind") or "/usr/bin/valgrind"
SUCCESSES = 5


def run(binary, work, name, bed_options, switches):
    """One run under memcheck; returns (exit status, memcheck's log, cycles)."""
    log = os.path.join(work, "memcheck-%s.log" % name)
    bed = StatusBed(users={USER: PASSWORD}, **bed_options).start()
    terminal = Terminal(80, 24)
    try:
        bed.respond(page=MIXED_PAGE)
        conf = write_config(work, bed.base_url, username=USER, password=PASSWORD,
                            name="%s.conf" % name, **switches)
        terminal.start([VALGRIND, "--tool=memcheck", "--leak-check=full", "--show-leak-kinds=definite,possible",
                        "--errors-for-leak-kinds=definite", "--error-exitcode=99",
                        "--suppressions=%s" % os.path.join(HERE, "valgrind.supp"),
                        "--log-file=%s" % log, binary, "-c", conf, "-s", "1"], cwd=work)
        asked = lambda: len(bed.requests())
        wait_until(lambda: asked() >= SUCCESSES and terminal.screen().contains(" web1 "), 90,
                   "%d successful cycles" % SUCCESSES)
        # Failing fetches, each until its banner is up: an error status, a
        # body the receive buffer refuses, then no server at all.
        for answer in (dict(status=503, page=MIXED_PAGE),
                       dict(page=padded_page([("down", "db1")], RECEIVE_LIMIT + 1))):
            bed.respond(**answer)
            count = asked()
            wait_until(lambda: asked() >= count + 2 and terminal.screen().contains(BANNER), 60, "the banner")
        cycles = asked()
        bed.stop()
        time.sleep(2.5)
        if not terminal.screen().contains(BANNER):
            raise RuntimeError("no banner with the server gone:\n%s" % terminal.screen().text())
        if not terminal.program_pids():
            raise RuntimeError("orvek ended early:\n%s" % terminal.screen().text())
        os.kill(started_pid(terminal), signal.SIGTERM)
        status, _ = terminal.exit_status(timeout=60)
    finally:
        terminal.close()
        bed.stop()
    with open(log) as f:
        return status, f.read(), cycles


def lost(report, kind):
    found = re.search(kind + r" lost: ([\d,]+) bytes", report)
    return int(found.group(1).replace(",", "")) if found else 0


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build")
    binary = orvek_in(build)
    if not binary:
        print("valgrind_cycles: no orvek binary in %s" % build, file=sys.stderr)
        return 2
    work = tempfile.mkdtemp(prefix="orvek-valgrind-")
    # (name, bed, configuration switches)
    runs = [
        ("digest-http", dict(auth="digest"), dict(digest=True)),
        ("basic-https", dict(auth="basic", https=True), {}),
    ]
    failed = False
    try:
        for name, bed_options, switches in runs:
            started = time.monotonic()
            status, report, cycles = run(binary, work, name, bed_options, switches)
            errors = re.search(r"ERROR SUMMARY: ([\d,]+) errors", report)
            reachable = re.search(r"still reachable: ([\d,]+) bytes", report)
            failures = []
            if not errors:
                failures.append("memcheck wrote no summary (did orvek end on SIGTERM?)")
            elif errors.group(1) != "0":
                failures.append("memcheck found %s errors" % errors.group(1))
            if status == 99:
                failures.append("exit status 99: memcheck errors")
            if failures:
                failed = True
                print(report, file=sys.stderr)
                for failure in failures:
                    print("valgrind_cycles: %s: %s" % (name, failure), file=sys.stderr)
            print("valgrind_cycles: %s: %s: %d cycles served (%d successful, then 503 and an oversized body; "
                  "then no server), exit status %d after SIGTERM, %s errors, definitely lost %d bytes, "
                  "indirectly %d, possibly %d, still reachable %s bytes; %.0f s"
                  % (name, "FAIL" if failures else "PASS", cycles, SUCCESSES, status,
                     errors.group(1) if errors else "?", lost(report, "definitely"), lost(report, "indirectly"),
                     lost(report, "possibly"), reachable.group(1) if reachable else "0",
                     time.monotonic() - started))
            if os.environ.get("ORVEK_VALGRIND_LOG"):
                shutil.copyfile(os.path.join(work, "memcheck-%s.log" % name),
                                "%s.%s" % (os.environ["ORVEK_VALGRIND_LOG"], name))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
