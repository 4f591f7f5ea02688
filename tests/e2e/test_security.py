"""What a careless or hostile set-up must not get out of the monitor: the
password on the screen, in a process listing or in any output; a hang or an
unbounded read from a configuration or exclude path that is no regular file
or is enormous."""

import base64
import fcntl
import os
import select
import signal
import struct
import subprocess
import sys
import termios
import threading
import time
import unittest

from support import (BANNER, NO_COLOUR, NOT_FOUND, ONE_PROBLEM_PAGE, SYSTEM_CONFIGS, USER, E2ETestCase,
                     banner_screen, blank_screen, dead_url, memory_kib, one_problem_screen, started_pid,
                     write_config)
from terminal import program_environment

# Long enough that it cannot turn up by chance; no space or "#", which the
# configuration format would cut.
PASSWORD = "Tr0ub4dor-k7Qz-x9"
# No start-up may take this long; a hang is a run that does.
PROMPT = 10


def secret_forms():
    """The password as it could leak: itself, and inside a Basic
    Authorization header."""
    basic = base64.b64encode(("%s:%s" % (USER, PASSWORD)).encode())
    return {"password": PASSWORD.encode(), "Basic credentials": basic}


def held_fifo(test, folder, name, data):
    """A FIFO with data waiting in it, kept open by the test (read and
    write, so neither end blocks) until its end."""
    path = os.path.join(folder, name)
    os.mkfifo(path)
    fd = os.open(path, os.O_RDWR | os.O_NONBLOCK)
    test.addCleanup(os.close, fd)
    os.write(fd, data)
    return path


class PtyRun:
    """The monitor on a pseudo-terminal of its own, every byte it writes
    kept: standard output (the screen, and anything printed on it) from the
    terminal's side, standard error from a pipe."""

    def __init__(self, argv, width=80, height=24, cwd=None):
        master, slave = os.openpty()
        fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", height, width, 0, 0))
        self.master = master
        self.stdout = bytearray()
        self.process = subprocess.Popen(argv, stdin=slave, stdout=slave, stderr=subprocess.PIPE,
                                        env=program_environment(), cwd=cwd, start_new_session=True)
        os.close(slave)
        self.stderr = b""
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

    @property
    def pid(self):
        return self.process.pid

    def _read(self):
        while True:
            ready, _, _ = select.select([self.master], [], [], 0.2)
            if not ready:
                if self.process.poll() is not None:
                    return
                continue
            try:
                data = os.read(self.master, 65536)
            except OSError:
                return
            if not data:
                return
            self.stdout += data

    def stop(self):
        """Ends it as a supervisor would (SIGTERM) and returns its status."""
        if self.master is None:
            return self.process.returncode
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.stderr = self.process.stderr.read()
        self.process.stderr.close()
        self._reader.join(5)
        os.close(self.master)
        self.master = None
        return self.process.returncode


class SecretTest(E2ETestCase):
    def pty_run(self, *args):
        run = PtyRun([self.binary, *args], cwd=self.folder())
        self.addCleanup(run.stop)
        return run

    def assertNoSecret(self, where, data):
        for form, secret in secret_forms().items():
            self.assertNotIn(secret, data, "the %s shows in %s" % (form, where))

    def assertNoSecretInListing(self, pid):
        listing = subprocess.run(["ps", "-ww", "-o", "args=", "-p", str(pid)],
                                 capture_output=True, check=True).stdout
        self.assertTrue(listing.strip(), "ps found no process %d" % pid)
        self.assertNoSecret("ps -ww", listing)
        for name in ("cmdline", "environ"):
            with open("/proc/%d/%s" % (pid, name), "rb") as f:
                self.assertNoSecret("/proc/%d/%s" % (pid, name), f.read())

    def test_password_is_never_shown(self):
        dead = dead_url()
        # (case, bed arguments or None for nothing listening, how the bed
        # answers, config switches, whether the report is drawn)
        cases = [
            ("Basic, accepted", dict(auth="basic"), {}, {}, True),
            ("Digest, accepted", dict(auth="digest"), {}, {"digest": True}, True),
            ("HTTPS and Basic, accepted", dict(auth="basic", https=True), {}, {}, True),
            ("wrong password", dict(auth="basic", users={USER: "something-else"}), {}, {}, False),
            ("server error after the login", dict(auth="basic"), {"status": 503}, {}, False),
            ("nothing listening", None, {}, {}, False),
        ]
        for case, bed_args, answer, switches, report in cases:
            with self.subTest(case):
                if bed_args is None:
                    url = dead
                else:
                    bed_args.setdefault("users", {USER: PASSWORD})
                    bed = self.bed(**bed_args)
                    bed.respond(page=ONE_PROBLEM_PAGE, **answer)
                    url = bed.base_url
                conf = write_config(self.folder(), url, username=USER, password=PASSWORD, **switches)
                terminal = self.run_orvek("-c", conf, "-s", "1")
                raw = self.pty_run("-c", conf, "-s", "1")
                self.assertScreen(terminal, one_problem_screen() if report else banner_screen())
                time.sleep(2.5)  # a few more cycles
                self.assertNoSecret("the screen", terminal.screen().text().encode())
                self.assertNoSecretInListing(started_pid(terminal))
                self.assertNoSecretInListing(raw.pid)
                status = raw.stop()
                self.assertEqual(status, 1, "ended by SIGTERM, curses exits with 1")
                # The run was a real one: it drew its frames.
                self.assertIn(b" web1 " if report else BANNER.encode(), bytes(raw.stdout))
                self.assertNoSecret("standard output", bytes(raw.stdout))
                self.assertNoSecret("standard error", raw.stderr)
                if bed_args is not None:
                    for request in bed.requests():
                        self.assertNoSecret("the request line", request["uri"].encode())


class ConfigurationPathTest(E2ETestCase):
    """-c names something that is no regular file: the monitor says it
    found no configuration and ends with status 2, at once."""

    def start_up(self, *args, cwd=None):
        """Runs the monitor on a terminal without colours: it ends at the
        colour check (status 1) once it has a configuration, with status 2
        when it has none."""
        return subprocess.run([self.binary, *args], cwd=cwd or self.folder(), env=program_environment("vt100"),
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=PROMPT)

    def assertNotFound(self, result):
        self.assertEqual((result.returncode, result.stdout.decode()), (2, NOT_FOUND + "\n"), result.stderr)

    def test_named_path_that_is_no_regular_file(self):
        folder = self.folder()
        config = "server %s\n" % dead_url()
        directory = os.path.join(folder, "a-directory")
        os.mkdir(directory)
        empty_fifo = os.path.join(folder, "empty-fifo")
        os.mkfifo(empty_fifo)
        linked = os.path.join(folder, "link-to-directory")
        os.symlink(directory, linked)
        cases = [
            ("directory", directory),
            ("FIFO nobody writes to", empty_fifo),
            ("FIFO holding a configuration", held_fifo(self, folder, "full-fifo", config.encode())),
            ("symbolic link to a directory", linked),
            ("/dev/null", "/dev/null"),
            ("/dev/zero, endless", "/dev/zero"),
        ]
        for case, path in cases:
            with self.subTest(case):
                self.assertNotFound(self.start_up("-c", path))
        # The control: the same text in a regular file, and a link to it,
        # are a configuration.
        regular = os.path.join(folder, "regular.conf")
        with open(regular, "w") as f:
            f.write(config)
        os.symlink(regular, os.path.join(folder, "link.conf"))
        for path in (regular, os.path.join(folder, "link.conf")):
            with self.subTest(path=os.path.basename(path)):
                result = self.start_up("-c", path)
                last_line = NO_COLOUR + "\n"
                self.assertEqual((result.returncode, result.stdout.decode()[-len(last_line):]), (1, last_line))

    def test_found_in_the_search_but_no_regular_file(self):
        present = [path for path in SYSTEM_CONFIGS if os.path.exists(path)]
        if present:
            self.skipTest("this machine has %s, which the search would find" % ", ".join(present))
        for case in ("directory", "FIFO"):
            with self.subTest(case):
                folder = self.folder()
                path = os.path.join(folder, "orvek.conf")
                if case == "directory":
                    os.mkdir(path)
                else:
                    held_fifo(self, folder, "orvek.conf", b"server http://127.0.0.1:1\n")
                self.assertNotFound(self.start_up(cwd=folder))

    def test_unreadable_file(self):
        if os.geteuid() == 0:
            self.skipTest("running as root (as CI does): root reads a file of mode 000, so it cannot be unreadable")
        folder = self.folder()
        path = write_config(folder, "http://127.0.0.1:1")
        os.chmod(path, 0)
        self.assertNotFound(self.start_up("-c", path))


def sparse_file(path, head, size, tail):
    """head, a hole of zero bytes up to size - len(tail), then tail: a file of
    `size` bytes that takes no room on disk."""
    with open(path, "wb") as f:
        f.write(head)
        f.seek(size - len(tail))
        f.write(tail)
    assert os.path.getsize(path) == size
    return path


ENORMOUS = 50 * 1024 * 1024


class EnormousFileTest(E2ETestCase):
    """A 50 MB configuration or exclude file: only its start is read (1 MiB
    of a configuration, 4 MiB of an exclude file), so what stands at its end
    has no effect and the memory it costs is bounded. Settings placed after
    the limit would visibly change the screen."""

    def started(self, terminal, expected):
        started = time.monotonic()
        self.assertScreen(terminal, expected, timeout=PROMPT)
        return time.monotonic() - started, memory_kib(started_pid(terminal))[1]

    def test_enormous_files_are_read_only_at_their_start(self):
        bed = self.bed()
        bed.set_page(ONE_PROBLEM_PAGE)
        folder = self.folder()
        dead = dead_url()
        # Read whole, the comment would end in the last bytes and the dead
        # server named after it would win: the banner.
        config = sparse_file(os.path.join(folder, "enormous.conf"),
                             ("server %s\nnewcgi true\n#" % bed.base_url).encode(), ENORMOUS,
                             ("\nserver %s\n" % dead).encode())
        # Read whole, the last two line ends would make an empty entry,
        # which hides every service: an empty screen.
        exclude = sparse_file(os.path.join(folder, "enormous.exclude"), b"Zzz\n", ENORMOUS, b"\n\n")
        small = write_config(folder, bed.base_url, name="small.conf")

        baseline = self.started(self.run_orvek("-c", small, "-s", "1"), one_problem_screen())
        # (case, arguments)
        cases = [
            ("configuration", ["-c", config]),
            ("exclude file", ["-c", small, "-e", exclude]),
        ]
        for case, args in cases:
            with self.subTest(case):
                seconds, high_water = self.started(self.run_orvek(*args, "-s", "1"), one_problem_screen())
                print("%s of 50 MB: first frame in %.1f s, VmHWM %d KiB (small configuration: %d KiB)"
                      % (case, seconds, high_water, baseline[1]), file=sys.stderr)
                # Read whole, the file alone would add 50 MB.
                self.assertLess(high_water - baseline[1], 24 * 1024,
                                "peak memory %d KiB against %d KiB" % (high_water, baseline[1]))


class ExcludePathTest(E2ETestCase):
    """-e names something that is no regular file: the list is empty (the
    service shows), and start-up does not wait for it."""

    def test_exclude_path_that_is_no_regular_file(self):
        bed = self.bed()
        bed.set_page(ONE_PROBLEM_PAGE)
        folder = self.folder()
        conf = write_config(folder, bed.base_url)
        directory = os.path.join(folder, "a-directory")
        os.mkdir(directory)
        empty_fifo = os.path.join(folder, "empty-fifo")
        os.mkfifo(empty_fifo)
        # An empty line would hide every service, were it read.
        held = held_fifo(self, folder, "held-fifo", b"\n\n")
        cases = [
            ("directory", directory),
            ("FIFO nobody writes to", empty_fifo),
            ("FIFO holding empty lines", held),
            ("/dev/zero, endless", "/dev/zero"),
            ("missing", os.path.join(folder, "missing")),
        ]
        for case, path in cases:
            with self.subTest(case):
                terminal = self.run_orvek("-c", conf, "-e", path, "-s", "1")
                self.assertScreen(terminal, one_problem_screen(), timeout=PROMPT)
        # The control: the same empty lines in a regular file hide the
        # service, and with it the host.
        regular = os.path.join(folder, "regular")
        with open(regular, "wb") as f:
            f.write(b"\n\n")
        terminal = self.run_orvek("-c", conf, "-e", regular, "-s", "1")
        self.wait_for_cycles(bed, 2, terminal, PROMPT)
        self.assertScreen(terminal, blank_screen(), timeout=PROMPT)


if __name__ == "__main__":
    unittest.main()
