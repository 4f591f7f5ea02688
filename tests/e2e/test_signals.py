"""Ending the monitor from outside: SIGHUP, SIGINT, SIGQUIT and SIGTERM leave the
terminal as it was before (main screen, cursor shown, default colours) with
status 1, and a terminal that goes away ends it even when hang-ups are
ignored."""

import os
import signal
import subprocess
import time
import unittest

from statusbed import PYTHON, status_page
from support import ONE_PROBLEM_PAGE, E2ETestCase, one_problem_screen, write_config
from terminal import RED

# The pane's shell after the monitor: an interactive one, to type into.
SHELL_AFTER = "exec /bin/sh -i"


def ended(pid):
    """Whether the process is gone (or a zombie no one has reaped yet)."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(") ", 1)[-1].startswith("Z")
    except OSError:
        return True


def ignored_signals(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("SigIgn:"):
                return int(line.split()[1], 16)
    return 0


class EndBySignalTest(E2ETestCase):
    def assertRestored(self, terminal, status_screen):
        modes = terminal.modes()
        self.assertFalse(modes["alternate_screen"], "the terminal is left in the alternate screen")
        self.assertTrue(modes["cursor_visible"], "the cursor is left hidden")
        # The shell's words after the monitor, and what is typed, come in
        # the terminal's own colours.
        row, column = status_screen.find("exit=1")
        for i in range(len("exit=1")):
            cell = status_screen[row][column + i]
            self.assertEqual((cell.fg, cell.bg, cell.bold), (None, None, False), status_screen.dump())
        terminal.type("echo typed-$((6*7))")
        screen = terminal.wait_for_text("typed-42", 5)
        # The typed command is echoed too: the output is the line that
        # begins with the words.
        lines = [r for r in range(screen.height) if screen.line(r).startswith("typed-42")]
        self.assertTrue(lines, screen.text())
        for c in range(len("typed-42")):
            cell = screen[lines[0]][c]
            self.assertEqual((cell.fg, cell.bg, cell.bold), (None, None, False), screen.dump())

    def test_each_signal_ends_it_with_status_1_and_the_terminal_restored(self):
        bed = self.bed()
        # A red screen: colours that would bleed into the shell if left on.
        bed.set_page(status_page([("down", "db1"), ("critical", "web1", "Load")]))
        for sig in (signal.SIGHUP, signal.SIGINT, signal.SIGQUIT, signal.SIGTERM):
            with self.subTest(sig.name):
                terminal = self.monitor(bed.base_url, "-s", "3600", keeps_running=False, then=SHELL_AFTER)
                terminal.wait_for_text(" web1 ")
                self.assertEqual(terminal.modes(), {"alternate_screen": True, "cursor_visible": False})
                os.kill(terminal.program_pids()[0], sig)
                status, screen = terminal.exit_status(timeout=5)
                self.assertEqual(status, 1)
                self.assertRestored(terminal, screen)

    def test_a_transfer_under_way_does_not_hold_the_end_back(self):
        bed = self.bed()
        bed.set_page(ONE_PROBLEM_PAGE)
        terminal = self.monitor(bed.base_url, "-s", "1", keeps_running=False, then=SHELL_AFTER)
        self.assertScreen(terminal, one_problem_screen())
        # The next answer takes 25 seconds; the monitor waits in it.
        bed.respond(page=ONE_PROBLEM_PAGE, delay=25)
        count = len(bed.requests())
        # The test bed logs a request when it starts answering.
        terminal.wait_for(lambda s: len(bed.requests()) > count, 10, "the slow request")
        time.sleep(0.5)
        os.kill(terminal.program_pids()[0], signal.SIGTERM)
        status, screen = terminal.exit_status(timeout=5)
        self.assertEqual(status, 1)
        self.assertRestored(terminal, screen)

    def test_a_page_slow_to_read_does_not_hold_the_end_back(self):
        # One DOWN host of a 1.65 MB name beside hosts of every length up to
        # 1,680: reading it takes far longer than fetching it, so with no
        # pause between refreshes the signal comes while a page is read.
        path = os.path.join(self.folder(), "long-down.wml")
        generator = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench",
                                 "make_hostile_page.py")
        subprocess.run([PYTHON, generator, "--shape", "long-down", "-o", path], check=True, capture_output=True)
        with open(path, "rb") as f:
            page = f.read()
        bed = self.bed()
        bed.set_page(page)
        terminal = self.monitor(bed.base_url, "-s", "0", keeps_running=False, then=SHELL_AFTER)
        # The alarm of the first page read, then a few more pages asked for.
        terminal.wait_for(lambda s: sum(cell.bg == RED for _, _, cell in s.cells()) > 1000, 60, "the red screen")
        self.wait_for_cycles(bed, 3, terminal, timeout=60)
        os.kill(terminal.program_pids()[0], signal.SIGTERM)
        status, screen = terminal.exit_status(timeout=10)
        self.assertEqual(status, 1)
        self.assertRestored(terminal, screen)


class TerminalGoneTest(E2ETestCase):
    def test_a_closed_terminal_ends_it_even_with_hang_ups_ignored(self):
        bed = self.bed()
        bed.set_page(ONE_PROBLEM_PAGE)
        conf = write_config(self.folder(), bed.base_url)
        # Refreshing every second, and without pause.
        for interval in ("1", "0"):
            with self.subTest(interval=interval):
                terminal = self.terminal()
                # As under nohup: SIGHUP ignored from the start.
                terminal.start(["/bin/sh", "-c", "trap '' HUP; exec \"$0\" \"$@\"",
                                self.binary, "-c", conf, "-s", interval], cwd=self.folder())
                self.assertScreen(terminal, one_problem_screen())
                pid = terminal.program_pids()[0]
                self.addCleanup(self.kill_if_alive, pid)
                self.assertTrue(ignored_signals(pid) & (1 << (signal.SIGHUP - 1)), "SIGHUP is not ignored")

                terminal.kill()
                deadline = time.monotonic() + 5
                while not ended(pid) and time.monotonic() < deadline:
                    time.sleep(0.05)
                self.assertTrue(ended(pid), "the monitor goes on without its terminal")
                # And it asks the server nothing more.
                count = len(bed.requests())
                time.sleep(1)
                self.assertEqual(len(bed.requests()), count)

    @staticmethod
    def kill_if_alive(pid):
        if not ended(pid):
            os.kill(pid, signal.SIGKILL)


if __name__ == "__main__":
    unittest.main()
