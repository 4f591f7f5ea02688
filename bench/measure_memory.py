#!/usr/bin/python3
"""Runs the real monitor against the test bed serving the largest page the
fetch accepts, and follows its memory over time.

    bench/measure_memory.py ORVEK_BINARY [DURATION_SECONDS] [SAMPLE_SECONDS]

Defaults: 60 s, a sample every 5 s, counted from the first page served.
The monitor runs with -s 1 in a 200x50 tmux terminal on a private socket
(tests/e2e/terminal.py); the test bed (tests/e2e/statusbed.py, lighttpd on
127.0.0.1, a free port) serves the page at /cgi-bin/statuswml.cgi.
PAGE_OPTIONS (environment) replaces the generator options of the page
(default: the largest postfield page with 10 % of hosts DOWN). Prints every
sample, then start and end VmRSS, the peak (VmHWM) and how many pages were
served and what the screen showed last. Everything it starts is stopped by
its pid.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # nothing left behind in the source tree
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))

from statusbed import PYTHON, StatusBed  # noqa: E402
from support import BANNER, RECEIVE_LIMIT, memory_kib, started_pid, wait_until, write_config  # noqa: E402
from terminal import Terminal  # noqa: E402

NAME = "measure_memory"
DEFAULT_PAGE = "--target-bytes %d --services 5 --down 0.1 --form postfield" % RECEIVE_LIMIT


def make_page(folder):
    """The page as bytes, and make_page's summary ("bytes=... hosts=...")."""
    path = os.path.join(folder, "page.wml")
    options = os.environ.get("PAGE_OPTIONS") or DEFAULT_PAGE
    made = subprocess.run([PYTHON, os.path.join(HERE, "make_page.py"), *options.split(), "--seed", "1",
                           "-o", path], capture_output=True, text=True, check=True)
    with open(path, "rb") as f:
        return f.read(), made.stderr.strip().removeprefix("make_page: ")


def pages_served(bed):
    """Answers the bed has sent whole: lines of lighttpd's access log, which
    is written once an answer is complete (the bed's request log has its
    line as soon as the CGI starts)."""
    try:
        with open(os.path.join(bed.dir, "access.log")) as f:
            return sum(1 for line in f if line.endswith("\n"))
    except OSError:
        return 0


def shows(screen):
    """What the last frame showed: the report (labels), the banner, or
    nothing."""
    text = screen.text()
    if BANNER.strip() in text:
        return "banner"
    return "report" if text.strip() else "blank"


def measure(binary, duration, interval, folder):
    page, page_info = make_page(folder)
    bed = StatusBed()
    terminal = Terminal(200, 50)
    try:
        bed.set_page(page)
        bed.start()
        conf = write_config(folder, bed.base_url)
        terminal.start([binary, "-c", conf, "-s", "1"], cwd=folder)
        pid = started_pid(terminal)
        # The clock starts when the first page has been served.
        try:
            wait_until(lambda: pages_served(bed), 30, "the first page")
        except RuntimeError:
            print("%s: orvek fetched no page within 30 s" % NAME, file=sys.stderr)
            return 1

        print("orvek memory, %s, page %s, %d s, -s 1" % (time.strftime("%Y-%m-%d", time.gmtime()), page_info,
                                                        duration))
        print("seconds  VmRSS_kB  VmHWM_kB")
        start_rss = end_rss = peak = None
        elapsed = 0
        while True:
            try:
                rss, peak = memory_kib(pid)
            except (OSError, KeyError):
                print("%s: orvek (pid %d) has ended" % (NAME, pid), file=sys.stderr)
                return 1
            start_rss = rss if start_rss is None else start_rss
            end_rss = rss
            print("%7d  %8d  %8d" % (elapsed, rss, peak), flush=True)
            if elapsed >= duration:
                break
            step = min(interval, duration - elapsed)
            time.sleep(step)
            elapsed += step

        print("start_rss_kB=%d end_rss_kB=%d peak_hwm_kB=%d pages_served=%d screen=%s"
              % (start_rss, end_rss, peak, pages_served(bed), shows(terminal.screen())))
        return 0
    finally:
        terminal.close()
        bed.stop()


def main(argv):
    usage = "usage: %s ORVEK_BINARY [DURATION_SECONDS] [SAMPLE_SECONDS]" % argv[0]
    if not 2 <= len(argv) <= 4 or not os.access(argv[1], os.X_OK):
        print(usage, file=sys.stderr)
        return 2
    try:
        duration = int(argv[2]) if len(argv) > 2 else 60
        interval = int(argv[3]) if len(argv) > 3 else 5
    except ValueError:
        print(usage, file=sys.stderr)
        return 2
    if duration < 0 or interval < 1:
        print(usage, file=sys.stderr)
        return 2
    folder = tempfile.mkdtemp(prefix="orvek-memory-")
    try:
        return measure(os.path.abspath(argv[1]), duration, interval, folder)
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
