"""Starts the demo status server and leaves it running.

    serve.py FOLDER [PORT] [--page FILE]

Writes lighttpd's configuration, users file and CGI into FOLDER, starts
lighttpd on 127.0.0.1 (PORT, 8080 by default, or a free port when that one
is taken; 0 asks for a free port) with Digest authentication for the
sample configuration's user (demo/demo), and prints "PID PORT". It serves the
demo's changing story, or with --page always the page in FILE. The caller
stops lighttpd by that pid and removes FOLDER.
"""

import argparse
import os
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


def main():
    parser = argparse.ArgumentParser(description="Starts the demo status server.")
    parser.add_argument("folder")
    parser.add_argument("port", nargs="?", type=int, default=8080)
    parser.add_argument("--page", help="serve this page at every request instead of the demo's story")
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
    print(bed.process.pid, bed.port)


if __name__ == "__main__":
    main()
