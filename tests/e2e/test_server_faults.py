"""Servers that misbehave: bodies that are no text, connections that break
mid-answer, TLS that never comes up, and a server that keeps dropping out.
The monitor must stay up through all of it, show the banner for every
failed transfer, draw what a complete answer holds, and come back as soon
as the server does."""

import os
import random
import socket
import sys
import threading
import time
import unittest

from statusbed import PAGE_HEAD, PAGE_TAIL, StatusBed, free_port, problem_line, status_page
from support import (CONNECT_BOUND, ONE_PROBLEM_PAGE, SLACK, E2ETestCase, ExpectedScreen, banner_screen,
                     blank_screen, local_url, one_problem_screen)
from terminal import BLACK, MAGENTA, RED, WHITE


# ---------------------------------------------------------------------------
# A server of our own, for faults lighttpd will not commit.


def read_request(connection):
    """Reads up to the end of the request head (the monitor sends no body)."""
    connection.settimeout(5)
    data = b""
    try:
        while b"\r\n\r\n" not in data:
            chunk = connection.recv(4096)
            if not chunk:
                break
            data += chunk
    except OSError:
        pass
    return data


def close_gently(connection):
    """Ends our side with a FIN, after reading whatever the client still
    sends, so the kernel does not turn the close into a reset."""
    try:
        connection.shutdown(socket.SHUT_WR)
        connection.settimeout(2)
        while connection.recv(4096):
            pass
    except OSError:
        pass
    connection.close()


def reset(connection):
    """Ends the connection with a TCP reset."""
    connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\x01\x00\x00\x00\x00\x00\x00\x00")
    connection.close()


def answer(body, head=None):
    """A behaviour: a complete HTTP answer, then a clean close."""
    body = body.encode() if isinstance(body, str) else body

    def behaviour(connection):
        read_request(connection)
        connection.sendall(head if head is not None else
                           b"HTTP/1.1 200 OK\r\nContent-Type: text/vnd.wap.wml\r\n"
                           b"Content-Length: %d\r\nConnection: close\r\n\r\n" % len(body))
        connection.sendall(body)
        close_gently(connection)
    return behaviour


class FaultServer:
    """TCP on 127.0.0.1; each connection is handed, in a thread of its own,
    to the current behaviour(connection). `connections` counts them.

    down_after_each: after every accepted connection the listener is closed
    for that many seconds (connections are refused meanwhile), then opened
    again on the same port."""

    def __init__(self, behaviour, down_after_each=None):
        self.behaviour = behaviour
        self.down_after_each = down_after_each
        self.port = free_port()
        self.connections = 0
        self._stopping = False
        self._listener = None
        self._open()
        self._thread = threading.Thread(target=self._serve, daemon=True)

    @property
    def base_url(self):
        return local_url(self.port)

    def _open(self):
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        listener.bind(("127.0.0.1", self.port))
        listener.listen(8)
        listener.settimeout(0.2)
        self._listener = listener

    def start(self):
        self._thread.start()
        return self

    def stop(self):
        self._stopping = True
        self._thread.join(5)
        if self._listener:
            self._listener.close()

    def _serve(self):
        while not self._stopping:
            try:
                connection, _ = self._listener.accept()
            except socket.timeout:
                continue
            except OSError:
                return
            self.connections += 1
            connection.settimeout(None)
            threading.Thread(target=self._handle, args=(connection, self.behaviour), daemon=True).start()
            if self.down_after_each:
                self._listener.close()
                self._listener = None
                until = time.monotonic() + self.down_after_each
                while not self._stopping and time.monotonic() < until:
                    time.sleep(0.05)
                self._open()

    @staticmethod
    def _handle(connection, behaviour):
        try:
            behaviour(connection)
        except OSError:
            pass
        finally:
            try:
                connection.close()
            except OSError:
                pass


class ServerFaultTestCase(E2ETestCase):
    def fault_server(self, behaviour, **kwargs):
        server = FaultServer(behaviour, **kwargs).start()
        self.addCleanup(server.stop)
        return server


# ---------------------------------------------------------------------------


def hostile_name_line(name):
    return "<postfield name='host' value='%s'/> UNR\n" % name


def caret(text):
    """How curses shows control characters: ESC as ^[, BEL as ^G, ..."""
    return "".join("^" + chr(ord(c) + 64) if ord(c) < 32 else c for c in text)


def soup(rng, size):
    """Bytes made of the page's own markup, status tokens, control bytes and
    noise, thrown together: lines that almost parse."""
    pieces = [b"<postfield name='host' value='", b"'/>", b"<postfield name='service' value='",
              b"'/><postfield", b"DWN", b"UNR", b"WRN", b"CRI", b"UNK", b"#comments", b"\n", b"\n",
              b"\r", b"\x00", b"\x1b[2J", b"\t", b"\x08", b"'", b"<", b">"]
    out = bytearray()
    while len(out) < size:
        out += rng.choice(pieces) if rng.random() < 0.7 else rng.randbytes(rng.randrange(1, 40))
    return bytes(out[:size])


class BodyContentTest(ServerFaultTestCase):
    """Bodies that arrive whole but are not the text the monitor expects.
    One monitor goes through all of them; after each, a good page must be
    drawn exactly again."""

    def test_zero_bytes_and_binary_bodies(self):
        rng = random.Random(20240601)
        hostile = "ev\x1b[2J\x1b(0qq\x0e\x1b]2;owned\x07il"
        # (case, body, the screen it must give, or None when any screen will do)
        cases = [
            ("zero byte between two problem lines",
             (PAGE_HEAD + problem_line("critical", "web1", "Load") + "\0"
              + problem_line("down", "db1") + PAGE_TAIL).encode(),
             banner_screen()),
            ("zero byte inside a problem line",
             (PAGE_HEAD + problem_line("critical", "web1", "Load")
              + "<postfield name='host' value='db1'/>\0 DWN\n" + PAGE_TAIL).encode(),
             banner_screen()),
            ("zero byte first", b"\0" + status_page([("down", "db1")]).encode(), banner_screen()),
            ("control sequences inside a host name",
             (PAGE_HEAD + hostile_name_line(hostile) + PAGE_TAIL).encode(),
             ExpectedScreen(80, 24, WHITE, RED).label(0, 0, caret(hostile), BLACK, MAGENTA)),
            ("random bytes", rng.randbytes(64 * 1024), None),
            ("random bytes with many line ends",
             bytes(b if b % 7 else 10 for b in rng.randbytes(256 * 1024)), None),
            ("markup soup", soup(rng, 512 * 1024), None),
            ("one line of 3 MB", b"<postfield name='host' value='" + b"x" * 3000000 + b"'/> DWN\n", None),
        ]
        bed = self.bed()
        bed.respond(page=ONE_PROBLEM_PAGE)
        terminal = self.monitor(bed.base_url, "-s", "0")
        self.assertScreen(terminal, one_problem_screen(), what="the first good frame")
        for case, body, expected in cases:
            with self.subTest(case):
                bed.respond(page=body)
                self.wait_for_cycles(bed, 3, terminal)
                if expected is not None:
                    self.assertScreen(terminal, expected, what="the frame of %s" % case)
                self.assertTrue(terminal.program_pids(), "the monitor ended on %s" % case)
                # The next good page is drawn whole: nothing of the bad body,
                # and no terminal state it could have changed, is left.
                bed.respond(page=ONE_PROBLEM_PAGE)
                self.wait_for_cycles(bed, 2, terminal)
                self.assertScreen(terminal, one_problem_screen(), what="the good frame after %s" % case)


# ---------------------------------------------------------------------------


def chunked_cut(connection):
    """A chunked body whose closing chunk never comes."""
    read_request(connection)
    body = ONE_PROBLEM_PAGE.encode()
    connection.sendall(b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n"
                       + b"%x\r\n" % len(body) + body + b"\r\n")
    close_gently(connection)


def reset_mid_body(connection):
    """No Content-Length; half the body, then a reset."""
    read_request(connection)
    connection.sendall(b"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + ONE_PROBLEM_PAGE.encode()[:60])
    time.sleep(0.2)
    reset(connection)


def closed_before_answer(connection):
    read_request(connection)
    close_gently(connection)


def status_line_only(connection):
    read_request(connection)
    connection.sendall(b"HTTP/1.1 200 OK\r\n")
    close_gently(connection)


def not_http(connection):
    read_request(connection)
    connection.sendall(b"SSH-2.0-OpenSSH_9.2\r\n" + ONE_PROBLEM_PAGE.encode())
    close_gently(connection)


# A body without Content-Length ends where the connection ends: a clean
# close in the middle of a line is a complete answer to libcurl, but the WML
# document it opened never ends, so the page was cut short.
CUT_PAGE = (PAGE_HEAD + problem_line("critical", "web1", "Load")
            + "<postfield name='host' value='db1'/> D").encode()


class BrokenAnswerTest(ServerFaultTestCase):
    def test_answers_broken_off(self):
        # (case, behaviour, the screen it must give)
        cases = [
            ("chunked body closed before its last chunk", chunked_cut, banner_screen()),
            ("reset in the middle of a body without Content-Length", reset_mid_body, banner_screen()),
            ("closed before any answer", closed_before_answer, banner_screen()),
            ("an answer that is no HTTP", not_http, banner_screen()),
            ("negative Content-Length",
             answer(ONE_PROBLEM_PAGE, b"HTTP/1.1 200 OK\r\nContent-Length: -5\r\nConnection: close\r\n\r\n"),
             banner_screen()),
            ("no Content-Length, closed cleanly in the middle of a line",
             answer(CUT_PAGE, b"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n"), banner_screen()),
        ]
        runs = []
        for case, behaviour, expected in cases:
            server = self.fault_server(behaviour)
            runs.append((case, server, self.monitor(server.base_url), expected))
        for case, server, terminal, expected in runs:
            with self.subTest(case):
                self.assertScreen(terminal, expected, what="the frame of %s" % case)
                # The cycle goes on: the server is asked again, the screen
                # stays the same.
                self.wait_for_cycles(lambda: server.connections, 2, terminal)
                self.assertScreen(terminal, expected, what="the frame of %s, later" % case)
        # The server mends: every monitor draws the page.
        for _, server, _, _ in runs:
            server.behaviour = answer(ONE_PROBLEM_PAGE)
        for case, server, terminal, _ in runs:
            with self.subTest(case, after="server mended"):
                self.assertScreen(terminal, one_problem_screen(), what="the page once the server answers")

    def test_answer_broken_off_after_the_status_line(self):
        # libcurl takes "HTTP/1.1 200 OK" followed by the end of the
        # connection, with the header section never finished, for a complete
        # answer with an empty body; drawn, that would be an all-clear screen.
        server = self.fault_server(status_line_only)
        terminal = self.monitor(server.base_url)
        self.wait_for_cycles(lambda: server.connections, 2, terminal)
        self.assertBanner(terminal, timeout=3)


# ---------------------------------------------------------------------------


def tls_closed_after_hello(connection):
    connection.settimeout(5)
    connection.recv(4096)
    close_gently(connection)


def tls_reset_after_hello(connection):
    connection.settimeout(5)
    connection.recv(4096)
    reset(connection)


def tls_garbage_after_hello(connection):
    connection.settimeout(5)
    connection.recv(4096)
    # A record header of an unknown type and absurd length, then noise.
    connection.sendall(b"\x17\x03\x03\xff\xff" + random.Random(7).randbytes(2000))
    close_gently(connection)


def tls_silent(connection):
    connection.settimeout(60)
    try:
        connection.recv(4096)
        time.sleep(60)
    except OSError:
        pass


def https_url(server):
    return local_url(server.port, https=True)


class TlsFailureTest(ServerFaultTestCase):
    def test_handshakes_that_fail(self):
        plain = self.bed()
        plain.respond(page=ONE_PROBLEM_PAGE)
        secure = self.bed(https=True)
        secure.respond(page=ONE_PROBLEM_PAGE)
        # (case, URL, how long the banner may take)
        cases = [
            ("https to a plain HTTP server", https_url(plain), 10),
            ("plain HTTP to a TLS server", local_url(secure.port), 10),
            ("TLS server closes after the client hello", https_url(self.fault_server(tls_closed_after_hello)), 10),
            ("TLS server resets after the client hello", https_url(self.fault_server(tls_reset_after_hello)), 10),
            ("TLS server answers with garbage", https_url(self.fault_server(tls_garbage_after_hello)), 10),
            # The handshake belongs to the connect phase and its bound.
            ("TLS server never answers the hello", https_url(self.fault_server(tls_silent)),
             CONNECT_BOUND + SLACK),
        ]
        runs = [(case, self.monitor(url), limit) for case, url, limit in cases]
        for case, terminal, limit in runs:
            with self.subTest(case):
                self.assertBanner(terminal, timeout=limit)
        self.assertEqual(plain.requests(), [], "a request got through a failed handshake")
        self.assertEqual(secure.requests(), [], "a request got through a failed handshake")
        # The control: the same TLS server, asked properly, gives the page.
        terminal = self.monitor(https_url(secure))
        self.assertScreen(terminal, one_problem_screen(), what="the page over TLS")


# ---------------------------------------------------------------------------


ALTERNATING_CGI = r'''
import json, os, sys, time

LOG = %(log)r
PAGE = %(page)r

# Every second request fails: 200, 503, 200, 503, ...
with open(LOG, "a+") as log:
    log.seek(0)
    earlier = sum(1 for _ in log)
    log.write(json.dumps({"time": time.time(), "uri": os.environ.get("REQUEST_URI", "")}) + "\n")
with open(PAGE, "rb") as f:
    body = f.read()
status = 503 if earlier %% 2 else 200
out = sys.stdout.buffer
out.write(b"Status: %%d\r\nContent-Type: text/vnd.wap.wml\r\nContent-Length: %%d\r\n\r\n" %% (status, len(body)))
out.write(body)
'''


def every_other(first, second):
    """A behaviour that takes turns: first for connection 1, 3, 5, ..."""
    turn = [0]

    def behaviour(connection):
        turn[0] += 1
        (first if turn[0] % 2 else second)(connection)
    return behaviour


def drop(connection):
    read_request(connection)
    reset(connection)


class FlappingServerTest(ServerFaultTestCase):
    OBSERVE = 10  # seconds of cycles watched, at one second each

    def watch(self, terminal, seconds):
        """The frames the screen went through, each once in a row."""
        report, banner = one_problem_screen(), banner_screen()
        seen = []
        until = time.monotonic() + seconds
        while time.monotonic() < until:
            screen = terminal.screen()
            state = ("report" if not report.mismatches(screen) else
                     "banner" if not banner.mismatches(screen) else None)
            if state and (not seen or seen[-1] != state):
                seen.append(state)
            time.sleep(0.1)
        return seen

    def test_server_up_and_down_every_cycle(self):
        folder = self.folder()
        bed = StatusBed(folder=folder, cgi_source=ALTERNATING_CGI % {
            "log": os.path.join(folder, "requests.log"), "page": os.path.join(folder, "page.wml")})
        bed.set_page(ONE_PROBLEM_PAGE)
        bed.start()
        self.addCleanup(bed.stop)
        dropping = self.fault_server(every_other(answer(ONE_PROBLEM_PAGE), drop))
        refusing = self.fault_server(answer(ONE_PROBLEM_PAGE), down_after_each=1.5)
        # (case, URL, how to count the cycles the server saw, counts refused ones)
        cases = [
            ("answers 200 and 503 by turns", bed.base_url, lambda: len(bed.requests()), True),
            ("answers and resets by turns", dropping.base_url, lambda: dropping.connections, True),
            ("answers, then refuses connections for a cycle", refusing.base_url,
             lambda: refusing.connections, False),
        ]
        runs = [(case, self.monitor(url), count, sees_all) for case, url, count, sees_all in cases]
        for case, terminal, count, sees_all in runs:
            with self.subTest(case):
                self.assertScreen(terminal, one_problem_screen(), what="the first report")
                before = count()
                seen = self.watch(terminal, self.OBSERVE)
                cycles = count() - before
                reports = seen.count("report")
                print("%s: %d cycles, frames %s" % (case, cycles, " ".join(seen)), file=sys.stderr)
                self.assertGreaterEqual(seen.count("banner"), 3, seen)
                self.assertGreaterEqual(reports, 3, seen)
                if sees_all:
                    # Every cycle changed the screen.
                    self.assertGreaterEqual(len(seen), cycles - 1, "%d cycles, frames %s" % (cycles, seen))
                else:
                    # Every connection the server took drew a report.
                    self.assertGreaterEqual(reports, cycles - 1, "%d answers, frames %s" % (cycles, seen))


if __name__ == "__main__":
    unittest.main()
