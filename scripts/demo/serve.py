"""Starts the demo status server and leaves it running.

    serve.py FOLDER [PORT] [--page FILE] [--watch PID]

Writes lighttpd's configuration, users file and CGI into FOLDER, starts
lighttpd on 127.0.0.1 (PORT, 8080 by default, or a free port when that one
is taken; 0 asks for a free port) with Digest authentication for the
sample configuration's user (demo/demo), and prints "PID PORT". It serves the
demo's changing story, or with --page always the page in FILE. The caller
stops lighttpd by that pid and removes FOLDER.

With --watch, a watchdog outside the terminal's session stays behind: when
the process PID ends, however it ends (its traps may never run when the
terminal goes away), the watchdog stops lighttpd and removes FOLDER.
"""

import argparse
import os
import select
import shutil
import signal
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "e2e"))
import scenario  # noqa: E402
from statusbed import StatusBed, port_is_free  # noqa: E402

USER = "demo"
PASSWORD = "demo"

CGI = """import sys
sys.path.insert(0, %(here)r)
import scenario
scenario.answer(%(folder)r)
"""


def gone(pid):
    """A pidfd for pid, or None when it has ended already."""
    try:
        return os.pidfd_open(pid)
    except ProcessLookupError:
        return None


def stop_when_gone(watched, server, folder):
    """Waits until the watched process or the server ends, then stops the
    server (SIGTERM, SIGKILL after 3 s) and removes its folder."""
    watched_fd, server_fd = gone(watched), gone(server)
    poll = select.poll()
    for fd in (watched_fd, server_fd):
        if fd is not None:
            poll.register(fd, select.POLLIN)
    if watched_fd is not None and server_fd is not None:
        poll.poll()
    if server_fd is not None:
        try:
            signal.pidfd_send_signal(server_fd, signal.SIGTERM)
            if not select.select([server_fd], [], [], 3)[0]:
                signal.pidfd_send_signal(server_fd, signal.SIGKILL)
        except ProcessLookupError:
            pass
    # The folder is the demo's until it ends; should it end without its
    # clean-up, or in the middle of it, the folder is no one's.
    if watched_fd is not None:
        select.select([watched_fd], [], [])
    shutil.rmtree(folder, ignore_errors=True)


def leave_watchdog(watched, server, folder):
    """Forks the watchdog into a session of its own (no terminal, so the
    terminal's end sends it no SIGHUP, nor Ctrl-C its SIGINT), with nothing
    open of the caller's."""
    if os.fork() != 0:
        return
    os.setsid()
    if os.fork() != 0:
        os._exit(0)
    null = os.open(os.devnull, os.O_RDWR)
    for fd in (0, 1, 2):
        os.dup2(null, fd)
    try:
        stop_when_gone(watched, server, folder)
    finally:
        os._exit(0)


def main():
    parser = argparse.ArgumentParser(description="Starts the demo status server.")
    parser.add_argument("folder")
    parser.add_argument("port", nargs="?", type=int, default=8080)
    parser.add_argument("--page", help="serve this page at every request instead of the demo's story")
    parser.add_argument("--watch", type=int, metavar="PID",
                        help="stop the server and remove FOLDER when the process PID ends")
    args = parser.parse_args()

    folder = os.path.abspath(args.folder)
    os.makedirs(folder, exist_ok=True)
    port = args.port if args.port and port_is_free(args.port) else None
    if args.port and port is None:
        print("port %d is taken; using a free one" % args.port, file=sys.stderr)
    if args.page:
        bed = StatusBed(auth="digest", users={USER: PASSWORD}, port=port, folder=folder)
        with open(args.page, "rb") as page:
            bed.set_page(page.read())
    else:
        bed = StatusBed(auth="digest", users={USER: PASSWORD}, port=port, folder=folder,
                        cgi_source=CGI % {"here": HERE, "folder": folder})
        scenario.start(folder)
    bed.start()
    print(bed.process.pid, bed.port, flush=True)
    if args.watch:
        leave_watchdog(args.watch, bed.process.pid, folder)


if __name__ == "__main__":
    main()
