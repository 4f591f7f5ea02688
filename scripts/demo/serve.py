"""Starts the demo status server and leaves it running.

    serve.py FOLDER [PORT]

Writes lighttpd's configuration, users file and CGI into FOLDER, starts
lighttpd on 127.0.0.1 (PORT, 8080 by default, or a free port when that one
is taken; 0 asks for a free port) with Digest authentication, and prints
"PID PORT". The caller stops lighttpd by that pid and removes FOLDER.
"""

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
    folder = os.path.abspath(sys.argv[1])
    wanted = int(sys.argv[2]) if len(sys.argv) > 2 else 8080
    port = wanted if wanted and port_is_free(wanted) else None
    if wanted and port is None:
        print("port %d is taken; using a free one" % wanted, file=sys.stderr)
    bed = StatusBed(auth="digest", users={USER: PASSWORD}, port=port, folder=folder,
                    cgi_source=CGI % {"here": HERE, "folder": folder})
    scenario.start(folder)
    bed.start()
    print(bed.process.pid, bed.port)


if __name__ == "__main__":
    main()
