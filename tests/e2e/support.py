"""What the end-to-end tests, the soak and memcheck runs and the memory
benchmark share: what the monitor prints and the bounds it keeps, config
files, the pages and screens several tests compare with, small waits, and a
test case base that starts and stops beds and terminals.

Standard library only, like the bed and the terminal it builds on."""

import os
import shutil
import tempfile
import time
import unittest

from statusbed import SilentServer, StatusBed, free_port, status_page
from terminal import BLACK, GREEN, RED, WHITE, Terminal, cell_width, orvek_binary

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))

# ---------------------------------------------------------------------------
# What the monitor prints, and the bounds it keeps

BANNER = " No connection to server! "
# Printed alone on standard output (each then ends with a line end).
NOT_FOUND = "Could not find orvek.conf, exiting."
NO_COLOUR = "Your terminal does not support color"
# Searched after ./orvek.conf when -c names no file.
SYSTEM_CONFIGS = ("/etc/orvek.conf", "/usr/local/etc/orvek.conf")
# The largest body the fetch accepts, in bytes; one more is refused.
RECEIVE_LIMIT = 3510720
# Seconds to connect, and for the whole transfer; SLACK is what a test adds
# on a loaded machine before calling a bound missed.
CONNECT_BOUND = 10
TRANSFER_BOUND = 30
SLACK = 15

# A user the beds know, for tests where the credentials are not the point.
USER = "alice"
PASSWORD = "Op3n-Sesame"


def local_url(port, https=False):
    return "%s://127.0.0.1:%d" % ("https" if https else "http", port)


def dead_url():
    """A URL on 127.0.0.1 where nothing listens (connections are refused)."""
    return local_url(free_port())


def write_config(folder, server, username=None, password=None, digest=False, newcgi=True,
                 name="orvek.conf"):
    lines = ["# written by the e2e tests\n", "server %s\n" % server]
    if username is not None:
        lines.append("username %s\n" % username)
    if password is not None:
        lines.append("password %s\n" % password)
    if digest:
        lines.append("digest yes\n")
    if newcgi:
        lines.append("newcgi true\n")
    path = os.path.join(folder, name)
    with open(path, "w") as f:
        f.writelines(lines)
    return path


class ExpectedScreen:
    """A whole screen as it should look: blank cells in the background's
    colours, and the labels put on it."""

    def __init__(self, width, height, fg, bg):
        self.width, self.height = width, height
        self.background = (fg, bg)
        self.cells = [[(" ", fg, bg, False) for _ in range(width)] for _ in range(height)]

    def put(self, row, column, text, fg, bg, bold=False):
        for char in text:
            self.cells[row][column] = (char, fg, bg, bold)
            column += 1
            if cell_width(char) == 2:
                # The right half of a wide character.
                self.cells[row][column] = ("", fg, bg, bold)
                column += 1
        return self

    def label(self, row, column, text, fg, bg):
        """A label with its space on each side."""
        return self.put(row, column, " %s " % text, fg, bg)

    def service(self, row, column, name):
        """A service name: a space and the name, bold, in the background's
        colours."""
        return self.put(row, column, " %s" % name, *self.background, bold=True)

    def mismatches(self, screen):
        found = []
        for row in range(self.height):
            for column in range(self.width):
                cell = screen[row][column]
                got = (cell.char, cell.fg, cell.bg, cell.bold)
                if got != self.cells[row][column]:
                    found.append("(%d,%d) expected %r got %r" % (row, column, self.cells[row][column], got))
        return found


def banner_screen(width=80, height=24):
    """The failed-fetch screen: white on black, the banner white on red."""
    expected = ExpectedScreen(width, height, WHITE, BLACK)
    return expected.put(height // 2, (width - len(BANNER)) // 2, BANNER, WHITE, RED)


# Pages several tests serve, and the screens they give.
ONE_PROBLEM_PAGE = status_page([("critical", "web1", "Load")])
# A DOWN host turns the background red.
ALARM_PAGE = status_page([("down", "db1"), ("critical", "web1", "Load")])
# One problem of every kind.
MIXED_PAGE = status_page([("down", "db1"), ("unreachable", "gw"), ("critical", "web1", "Load"),
                          ("warning", "web1", "Disk"), ("unknown", "mail", "SMTP")])


def one_problem_screen():
    return (ExpectedScreen(80, 24, WHITE, BLACK)
            .label(0, 0, "web1", BLACK, GREEN)
            .label(1, 2, "CRITICAL", BLACK, RED).service(1, 12, "Load"))


def alarm_screen():
    return (ExpectedScreen(80, 24, WHITE, RED)
            .label(0, 0, "db1", BLACK, WHITE)
            .label(2, 0, "web1", BLACK, GREEN)
            .label(3, 2, "CRITICAL", BLACK, RED).service(3, 12, "Load"))


def blank_screen():
    return ExpectedScreen(80, 24, WHITE, BLACK)


# ---------------------------------------------------------------------------
# Waits and processes, for the runs outside unittest too


def wait_until(condition, timeout, what):
    """Polls condition() until it holds; RuntimeError after timeout seconds."""
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            raise RuntimeError("timed out after %d s waiting for %s" % (timeout, what))
        time.sleep(0.1)


def started_pid(terminal, timeout=10):
    """The pid of the program the terminal runs, once it has started."""
    pids = []

    def started():
        pids[:] = terminal.program_pids()
        return pids

    try:
        wait_until(started, timeout, "the program to start")
    except RuntimeError:
        raise RuntimeError("the program did not start:\n%s" % terminal.screen().text()) from None
    return pids[0]


def memory_kib(pid):
    """(VmRSS, VmHWM) of a running process, in KiB."""
    with open("/proc/%d/status" % pid) as f:
        fields = dict(line.split(":", 1) for line in f if ":" in line)
    return int(fields["VmRSS"].split()[0]), int(fields["VmHWM"].split()[0])


def orvek_in(build):
    """The orvek binary of a build folder, or None when it has none."""
    binary = os.path.abspath(os.path.join(build, "orvek"))
    return binary if os.access(binary, os.X_OK) else None


class E2ETestCase(unittest.TestCase):
    """Starts what a test needs and stops it again, in reverse order."""

    binary = None

    @classmethod
    def setUpClass(cls):
        cls.binary = orvek_binary()

    def folder(self):
        path = tempfile.mkdtemp(prefix="orvek-e2e-")
        self.addCleanup(shutil.rmtree, path, True)
        return path

    def bed(self, **kwargs):
        bed = StatusBed(**kwargs).start()
        self.addCleanup(bed.stop)
        return bed

    def silent_server(self, accept=True):
        server = SilentServer(accept=accept).__enter__()
        self.addCleanup(server.__exit__, None, None, None)
        return server

    def terminal(self, width=80, height=24):
        terminal = Terminal(width, height)
        self.addCleanup(terminal.close)
        return terminal

    def run_orvek(self, *args, width=80, height=24, cwd=None, term="screen", keeps_running=True,
                  then="exec sleep 3600", env=None):
        """The monitor in a fresh terminal; args follow the binary, and the
        pane's shell runs `then` after it. Unless told otherwise, the test
        also fails when the monitor has ended by its end (a crash, or a
        sanitizer's report)."""
        terminal = self.terminal(width, height)
        terminal.start([self.binary, *args], cwd=cwd or self.folder(), term=term, then=then, env=env)
        if keeps_running:
            self.addCleanup(self.assertStillRunning, terminal)
        return terminal

    def assertStillRunning(self, terminal):
        if not terminal.server_pid:
            return
        screen = terminal.screen()
        if screen.find("exit=") or not terminal.program_pids():
            self.fail("the monitor has ended:\n%s" % screen.text())

    def monitor(self, server, *args, width=80, height=24, keeps_running=True, then="exec sleep 3600", env=None,
                **config):
        """The monitor watching `server` (a URL) with a config made for it,
        refreshing every second unless args say otherwise; env is added to
        its environment."""
        conf = write_config(self.folder(), server, **config)
        return self.run_orvek("-c", conf, *(args or ("-s", "1")), width=width, height=height,
                              keeps_running=keeps_running, then=then, env=env)

    def wait_for_cycles(self, asked, cycles, terminal, timeout=20):
        """Waits until the server has been asked `cycles` more times. asked:
        a bed, or a function that counts the requests its server saw."""
        count = asked if callable(asked) else (lambda: len(asked.requests()))
        start = count()
        terminal.wait_for(lambda s: count() >= start + cycles, timeout, "%d more requests" % cycles)

    def assertScreen(self, terminal, expected, timeout=10.0, what="the expected screen"):
        """Waits until the screen matches expected cell by cell; on time-out
        fails with the differences."""
        last = []

        def matches(screen):
            last[:] = expected.mismatches(screen)
            return not last

        try:
            return terminal.wait_for(matches, timeout, what)
        except AssertionError as error:
            raise AssertionError("%s\nfirst differences:\n  %s" % (error, "\n  ".join(last[:15]))) from None

    def assertEachPageFrame(self, cases):
        """cases: (name, page, expected screen). One monitor reads each page
        in turn from the bed, as the server would hand it out, and each must
        show its screen cell by cell."""
        bed = self.bed()
        bed.respond(page=cases[0][1])
        terminal = self.monitor(bed.base_url, "-s", "0", newcgi=False)
        for case, page, expected in cases:
            with self.subTest(case):
                bed.respond(page=page)
                self.wait_for_cycles(bed, 2, terminal)
                self.assertScreen(terminal, expected, what="the frame of %s" % case)

    def assertBanner(self, terminal, width=80, height=24, timeout=10.0):
        return self.assertScreen(terminal, banner_screen(width, height), timeout, "the banner")
