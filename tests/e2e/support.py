"""What the end-to-end tests share: config files, expected screens, and a
test case base that starts and stops beds and terminals."""

import os
import shutil
import tempfile
import unittest

from statusbed import SilentServer, StatusBed, status_page
from terminal import BLACK, GREEN, RED, WHITE, Terminal, cell_width, orvek_binary

BANNER = " No connection to server! "


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


# A page with one problem, and the screens a test compares with.
ONE_PROBLEM_PAGE = status_page([("critical", "web1", "Load")])


def one_problem_screen():
    return (ExpectedScreen(80, 24, WHITE, BLACK)
            .label(0, 0, "web1", BLACK, GREEN)
            .label(1, 2, "CRITICAL", BLACK, RED).service(1, 12, "Load"))


def blank_screen():
    return ExpectedScreen(80, 24, WHITE, BLACK)


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
                  then="exec sleep 3600"):
        """The monitor in a fresh terminal; args follow the binary, and the
        pane's shell runs `then` after it. Unless told otherwise, the test
        also fails when the monitor has ended by its end (a crash, or a
        sanitizer's report)."""
        terminal = self.terminal(width, height)
        terminal.start([self.binary, *args], cwd=cwd or self.folder(), term=term, then=then)
        if keeps_running:
            self.addCleanup(self.assertStillRunning, terminal)
        return terminal

    def assertStillRunning(self, terminal):
        if not terminal.server_pid:
            return
        screen = terminal.screen()
        if screen.find("exit=") or not terminal.program_pids():
            self.fail("the monitor has ended:\n%s" % screen.text())

    def monitor(self, server, *args, width=80, height=24, keeps_running=True, then="exec sleep 3600", **config):
        """The monitor watching `server` (a URL) with a config made for it,
        refreshing every second unless args say otherwise."""
        conf = write_config(self.folder(), server, **config)
        return self.run_orvek("-c", conf, *(args or ("-s", "1")), width=width, height=height,
                              keeps_running=keeps_running, then=then)

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

    def assertBanner(self, terminal, width=80, height=24, timeout=10.0):
        return self.assertScreen(terminal, banner_screen(width, height), timeout, "the banner")
