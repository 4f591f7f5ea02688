"""The demo's living status page: a story of about 70 seconds that repeats.

The status CGI calls answer(); what it answers depends on how long ago the
demo started (the time is kept in the demo's folder).
"""

import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "e2e"))
from statusbed import status_page  # noqa: E402

BACKUP = ("warning", "nas1", "Backup")
WEB_LOAD_WARN = ("warning", "web1", "Load")
WEB_LOAD_CRIT = ("critical", "web1", "Load")
WEB_DISK = ("warning", "web1", "Disk /var")
SMTP = ("unknown", "mail", "SMTP")
DB_DOWN = ("down", "db1")
DB_SERVICE = ("critical", "db1", "PostgreSQL")  # a DOWN host's services are not listed

# (from second, what happens, HTTP status, problems)
TIMELINE = [
    (0, "a backup has been warning for a while", 200, [BACKUP]),
    (10, "web1's load warns", 200, [WEB_LOAD_WARN, BACKUP]),
    (20, "web1's load turns critical, its disk warns", 200, [WEB_LOAD_CRIT, WEB_DISK, BACKUP]),
    (30, "mail's SMTP check goes unknown", 200, [WEB_LOAD_CRIT, WEB_DISK, BACKUP, SMTP]),
    (40, "db1 goes down: the screen turns red", 200, [DB_DOWN, WEB_LOAD_CRIT, WEB_DISK, DB_SERVICE, BACKUP, SMTP]),
    (52, "db1 is back, web1's load eases", 200, [WEB_LOAD_WARN, BACKUP, SMTP]),
    (62, "the status server fails", 503, []),
    (66, "the status server is back", 200, [BACKUP, SMTP]),
]
LENGTH = 70


def moment(elapsed):
    """The timeline entry in force `elapsed` seconds after the start."""
    second = elapsed % LENGTH
    current = TIMELINE[0]
    for entry in TIMELINE:
        if entry[0] <= second:
            current = entry
    return current


def start_file(folder):
    return os.path.join(folder, "scenario-start")


def start(folder):
    with open(start_file(folder), "w") as f:
        f.write("%f\n" % time.time())


def answer(folder):
    """Writes the CGI answer for now."""
    try:
        with open(start_file(folder)) as f:
            started = float(f.read())
    except (OSError, ValueError):
        started = time.time()
    _, _, status, problems = moment(time.time() - started)
    body = status_page(problems).encode() if status == 200 else b"Service Unavailable\n"
    out = sys.stdout.buffer
    out.write(b"Status: %d\r\nContent-Type: text/vnd.wap.wml\r\nContent-Length: %d\r\n\r\n" % (status, len(body)))
    out.write(body)
    out.flush()
