#!/usr/bin/python3
"""The refresh period of each server on a wall of several, with and without
one server that hangs (accepts the connection, never answers).

    bench/measure_servers_refresh.py ORVEK_BINARY [SERVERS] [SECONDS]

Starts SERVERS-1 small HTTP servers on 127.0.0.1 that answer the list of
problems at once and count the requests they get, runs the real orvek
(-s 1) in an 80x24 tmux terminal on a configuration with one [server NAME]
section each, lets it run SECONDS (default 30), and prints each answering
server's requests and mean period. It does so twice: the last server
answering too, then the last server hanging. With each server on a cycle of
its own, the periods of the two runs agree (about the interval plus a
transfer). Everything it starts is stopped by its pid.
"""

import http.server
import os
import shutil
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))

from statusbed import SilentServer, ThreadedServer, send_answer, status_page  # noqa: E402
from terminal import Terminal  # noqa: E402

PAGE = status_page([("critical", "web%d" % i, "Load") for i in range(5)]).encode()


def counting_server():
    """An answering server, and a function giving its request count."""
    count = [0]
    lock = threading.Lock()

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            if "statuswml" in self.path:
                with lock:
                    count[0] += 1
            send_answer(self, 200, PAGE)

        def log_message(self, *args):
            pass

    server = ThreadedServer(Handler)
    return server, lambda: count[0]


def run(binary, servers, seconds, hang_last):
    folder = tempfile.mkdtemp(prefix="orvek-bench-")
    answering, counts, stops = [], [], []
    try:
        for _ in range(servers - 1 if hang_last else servers):
            server, count = counting_server()
            stops.append(server.stop)
            answering.append(server.base_url)
            counts.append(count)
        urls = list(answering)
        if hang_last:
            silent = SilentServer().__enter__()
            stops.append(lambda: silent.__exit__(None, None, None))
            urls.append(silent.base_url)
        conf = os.path.join(folder, "orvek.conf")
        with open(conf, "w") as f:
            f.write("newcgi true\n")
            for i, url in enumerate(urls):
                f.write("[server s%d]\nserver %s\n" % (i, url))
        terminal = Terminal(80, 24)
        stops.append(terminal.close)
        terminal.start([binary, "-c", conf, "-s", "1"], cwd=folder)
        time.sleep(3)
        start = [count() for count in counts]
        time.sleep(seconds)
        return [count() - first for count, first in zip(counts, start)]
    finally:
        for stop in reversed(stops):
            stop()
        shutil.rmtree(folder, ignore_errors=True)


def main():
    binary = os.path.abspath(sys.argv[1])
    servers = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 30
    for hang_last in (False, True):
        requests = run(binary, servers, seconds, hang_last)
        periods = [seconds / n if n else float("inf") for n in requests]
        print("%s: %d answering servers, requests in %.0f s: %s; period min %.2f s, max %.2f s" % (
            "one hanging" if hang_last else "none hanging", len(requests), seconds,
            " ".join(map(str, requests)), min(periods), max(periods)))


if __name__ == "__main__":
    main()
